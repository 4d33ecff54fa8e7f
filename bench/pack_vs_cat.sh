#!/usr/bin/env bash
# Times swug_gen packing a software image against plain copies of the same bytes, where the disk
# does not hide the copy path and where it does:
#   - on a tmpfs (/dev/shm), where syncing costs nothing: against cat and dd bs=128K;
#   - on the disk of the checkout, where swug_gen syncs its image: against cat IN > OUT && sync OUT;
# at 256 MiB and 1 GiB, contenders alternating, page cache warm. Then swug_info verifying a 1 GiB
# image against cat IMAGE >/dev/null, the peak resident memory of both tools at 1 MiB and 1 GiB,
# and check_sum32's throughput. Prints one table of medians with the targets.
#   bench/pack_vs_cat.sh [BUILD_DIR]      BUILD_DIR defaults to build-bench; RUNS=9 by default
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-build-bench}" && pwd)
runs=${RUNS:-9}
for tool in "$build/swug_gen" "$build/swug_info" "$build/bench/checksum_bench" /usr/bin/time; do
    [ -x "$tool" ] || { echo "missing $tool (see docs/performance.md)" >&2; exit 2; }
done
shm=$(mktemp -d /dev/shm/swug-bench-XXXXXX)
disk=$(mktemp -d "$build/disk-bench-XXXXXX")
trap 'rm -rf "$shm" "$disk"' EXIT

head -c $((1 << 30)) /dev/urandom >"$shm/in1024.bin"
head -c $((256 << 20)) "$shm/in1024.bin" >"$shm/in256.bin"
head -c $((1 << 20)) "$shm/in1024.bin" >"$shm/in1.bin"
cp "$shm/in256.bin" "$shm/in1024.bin" "$disk/"
sync

# Seconds that a command takes. Its output file (- for none) is removed afterwards, but only
# inside the benchmark's own folders, and everything written is flushed before the clock starts,
# with a moment for the file system to settle, so that no run pays for the previous one's
# writeback or removal.
seconds() {
    local output=$1
    shift
    sync
    sleep 0.2
    local start=$EPOCHREALTIME
    "$@" >/dev/null
    local end=$EPOCHREALTIME
    case $output in
        "$shm"/* | "$disk"/*) rm -f "$output" ;;
        -) ;;
        *) echo "seconds: refusing to remove $output" >&2; exit 2 ;;
    esac
    awk -v s="$start" -v e="$end" 'BEGIN { printf "%.6f\n", e - s }'
}
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { print a / b }'; }

# One round: every contender once, in an order that rotates from round to round, so that none
# always meets another's leftovers. Appends each time to NAME_SIZE.times in the results folder.
results=$(mktemp -d "$shm/results-XXXXXX")
round() {
    local round_number=$1
    shift
    local count=$# i
    local -a names=("$@")
    for ((i = 0; i < count; i++)); do
        local name=${names[$(((i + round_number) % count))]}
        "run_$name" >>"$results/${name}_$size.times"
    done
}
run_cat_shm() { seconds "$shm/cat.out" sh -c 'cat "$0" >"$1"' "$shm/in$size.bin" "$shm/cat.out"; }
run_dd_shm() { seconds "$shm/dd.out" dd if="$shm/in$size.bin" of="$shm/dd.out" bs=128K status=none; }
run_gen_shm() { seconds "$shm/up.bin" "$build/swug_gen" "$shm/in$size.bin" "$shm/up.bin"; }
run_catsync_disk() {
    seconds "$disk/cat.out" sh -c 'cat "$0" >"$1" && sync "$1"' "$disk/in$size.bin" "$disk/cat.out"
}
run_gen_disk() { seconds "$disk/up.bin" "$build/swug_gen" "$disk/in$size.bin" "$disk/up.bin"; }
run_info() { seconds - "$build/swug_info" "$shm/image.bin"; }
run_catimage() { seconds - sh -c 'cat "$0" >/dev/null' "$shm/image.bin"; }

for size in 256 1024; do
    for ((r = 0; r < runs; r++)); do
        round "$r" cat_shm dd_shm gen_shm
        round "$r" catsync_disk gen_disk
    done
done
size=1024  # swug_info reads a 1 GiB image
"$build/swug_gen" "$shm/in1024.bin" "$shm/image.bin" >/dev/null
for ((r = 0; r < runs; r++)); do
    round "$r" info catimage
done

# Per-round ratios, then their median: rounds share the machine's mood of the moment.
ratios() {
    paste "$results/$1_$size.times" "$results/$2_$size.times" | awk '{ print $1 / $2 }' | median
}
med() { median <"$results/$1_$size.times"; }

# The median peak of five runs: one run's peak wobbles by some KiB with where the loader places
# things, whatever the file's size.
peak_kib() {
    for _ in 1 2 3 4 5; do
        /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -n 1
    done | median
}
gen_rss_1=$(peak_kib "$build/swug_gen" "$shm/in1.bin" "$shm/up.bin")
gen_rss_1024=$(peak_kib "$build/swug_gen" "$shm/in1024.bin" "$shm/up.bin")
"$build/swug_gen" "$shm/in1.bin" "$shm/image1.bin" >/dev/null
info_rss_1=$(peak_kib "$build/swug_info" "$shm/image1.bin")
info_rss_1024=$(peak_kib "$build/swug_info" "$shm/image.bin")
sum_rate=$("$build/bench/checksum_bench" --benchmark_format=csv 2>/dev/null |
    awk -F, '/check_sum32_buffer/ { printf "%.1f", $(NF-4) / 1e9 }')

verdict() { awk -v v="$1" -v limit="$2" -v dir="$3" 'BEGIN { ok = dir == "max" ? v <= limit : v >= limit; print ok ? "met" : "NOT met" }'; }
row() { printf '| %s | %s | %s |\n' "$1" "$2" "$3"; }
target() { printf 'at most %s: %s' "$2" "$(verdict "$1" "$2" max)"; }

echo "| measure (median of $runs rounds, page cache warm) | value | target |"
echo "|---|---|---|"
for size in 256 1024; do
    row "tmpfs $size MiB: cat / dd / swug_gen, seconds" \
        "$(printf '%.3f / %.3f / %.3f' "$(med cat_shm)" "$(med dd_shm)" "$(med gen_shm)")" ""
    r=$(ratios gen_shm dd_shm)
    row "tmpfs $size MiB: swug_gen / dd" "$(printf '%.2f' "$r")" "$(target "$r" 1.10)"
    r=$(ratios gen_shm cat_shm)
    row "tmpfs $size MiB: swug_gen / cat" "$(printf '%.2f' "$r")" "$(target "$r" 1.30)"
    row "disk $size MiB: cat+sync / swug_gen, seconds" \
        "$(printf '%.3f / %.3f' "$(med catsync_disk)" "$(med gen_disk)")" ""
    r=$(ratios gen_disk catsync_disk)
    row "disk $size MiB: swug_gen / (cat && sync)" "$(printf '%.2f' "$r")" "$(target "$r" 1.15)"
done
size=1024
row "1 GiB image: cat >/dev/null / swug_info, seconds" \
    "$(printf '%.3f / %.3f' "$(med catimage)" "$(med info)")" ""
r=$(ratios info catimage)
row "1 GiB image: swug_info / cat" "$(printf '%.2f' "$r")" "$(target "$r" 1.30)"
row "swug_gen peak RSS at 1 MiB / 1 GiB, KiB" "$gen_rss_1 / $gen_rss_1024" \
    "within 64: $(verdict $((gen_rss_1024 - gen_rss_1)) 64 max)"
row "swug_info peak RSS at 1 MiB / 1 GiB, KiB" "$info_rss_1 / $info_rss_1024" \
    "within 64: $(verdict $((info_rss_1024 - info_rss_1)) 64 max)"
row "check_sum32 over a full copy buffer, GB/s" "$sum_rate" "at least 15: $(verdict "$sum_rate" 15 min)"
