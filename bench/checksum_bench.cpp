// Throughput of check_sum32 over the chunk size the tools copy with.
#include <benchmark/benchmark.h>

#include <vector>

#include "image_format.h"

namespace {

void check_sum32_chunks(benchmark::State& state) {
    const auto chunk = static_cast<std::int32_t>(state.range(0));
    // 1 MiB of data summed chunk by chunk, as the copy loop does; it stays in the cache.
    std::vector<std::uint8_t> data(1 << 20);
    for (std::size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<std::uint8_t>(i * 131 + 7);
    }
    for (auto _ : state) {
        std::uint32_t sum = 0;
        for (std::size_t at = 0; at < data.size(); at += static_cast<std::size_t>(chunk)) {
            sum += swug::check_sum32(data.data() + at, chunk);
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(data.size()));
}
BENCHMARK(check_sum32_chunks)->Arg(1024);

}  // namespace

BENCHMARK_MAIN();
