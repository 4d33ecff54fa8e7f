#!/usr/bin/env bash
# Times swug_gen packing a 256 MiB software image against cat copying the same bytes into the same
# folder (alternating, page cache warm), and against a plain read/write copy (dd, 128 KiB blocks)
# for context; reports peak resident memory at 1 MiB and 256 MiB and check_sum32's throughput.
#   bench/pack_vs_cat.sh [BUILD_DIR]      BUILD_DIR defaults to build-bench; RUNS=9 by default
set -euo pipefail

build=$(cd "${1:-build-bench}" && pwd)
runs=${RUNS:-9}
for tool in "$build/swug_gen" "$build/bench/checksum_bench" /usr/bin/time; do
    [ -x "$tool" ] || { echo "missing $tool (see the README's performance section)" >&2; exit 2; }
done
work=$(mktemp -d "${TMPDIR:-/tmp}/swug-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"

head -c $((256 << 20)) /dev/urandom >sw256.bin
head -c $((1 << 20)) /dev/urandom >sw1.bin
cat sw256.bin sw1.bin >/dev/null  # warm the page cache

# Seconds (with microseconds) that a command takes; its output file is removed and flushed out
# of the way afterwards, so that no run pays for the previous one's truncation or writeback.
seconds() {
    local output=$1
    shift
    sync
    local start=$EPOCHREALTIME
    "$@" >/dev/null
    local end=$EPOCHREALTIME
    rm -f "$output"
    awk -v s="$start" -v e="$end" 'BEGIN { printf "%.6f\n", e - s }'
}
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

: >cat.times; : >gen.times; : >dd.times; : >ratio.times; : >dd_ratio.times
for ((i = 0; i < runs; i++)); do
    # Alternate who goes first, so neither always meets the other's leftovers.
    if ((i % 2 == 0)); then
        c=$(seconds cat.out sh -c 'cat sw256.bin >cat.out')
        g=$(seconds up.bin "$build/swug_gen" sw256.bin up.bin)
    else
        g=$(seconds up.bin "$build/swug_gen" sw256.bin up.bin)
        c=$(seconds cat.out sh -c 'cat sw256.bin >cat.out')
    fi
    d=$(seconds dd.out dd if=sw256.bin of=dd.out bs=128K status=none)
    echo "$c" >>cat.times; echo "$g" >>gen.times; echo "$d" >>dd.times
    awk -v g="$g" -v c="$c" 'BEGIN { print g / c }' >>ratio.times
    awk -v g="$g" -v d="$d" 'BEGIN { print g / d }' >>dd_ratio.times
done

# The median peak of five runs: one run's peak wobbles by up to 64 KiB whatever the image's size,
# with where the loader happens to place things.
peak_kib() {
    for _ in 1 2 3 4 5; do
        /usr/bin/time -f %M "$build/swug_gen" "$1" up.bin 2>&1 >/dev/null | tail -n 1
        rm -f up.bin
    done | median
}
rss1=$(peak_kib sw1.bin)
rss256=$(peak_kib sw256.bin)
sum_rate=$("$build/bench/checksum_bench" --benchmark_format=csv 2>/dev/null |
    awk -F, '/check_sum32_chunks/ { printf "%.1f", $(NF-4) / 1e9 }')

ratio=$(median <ratio.times)
verdict() { awk -v v="$1" -v limit="$2" -v dir="$3" 'BEGIN { ok = dir == "max" ? v <= limit : v >= limit; print ok ? "met" : "NOT met" }'; }
echo "| measure (median of $runs runs, 256 MiB, page cache warm) | value | target |"
echo "|---|---|---|"
printf '| cat, seconds | %.3f | |\n' "$(median <cat.times)"
printf '| dd bs=128K (read/write copy), seconds | %.3f | |\n' "$(median <dd.times)"
printf '| swug_gen, seconds | %.3f | |\n' "$(median <gen.times)"
printf '| swug_gen / cat | %.2f | at most 1.20: %s |\n' "$ratio" "$(verdict "$ratio" 1.2 max)"
printf '| swug_gen / dd | %.2f | |\n' "$(median <dd_ratio.times)"
printf '| check_sum32, 1024-byte chunks, GB/s | %s | at least 10: %s |\n' "$sum_rate" "$(verdict "$sum_rate" 10 min)"
printf '| peak RSS at 1 MiB, KiB | %s | |\n' "$rss1"
printf '| peak RSS at 256 MiB, KiB | %s | within 64 KiB of 1 MiB: %s |\n' "$rss256" \
    "$(verdict $((rss256 - rss1)) 64 max)"
