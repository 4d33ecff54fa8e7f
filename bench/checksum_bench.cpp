// Throughput of check_sum32 over the buffer the tools copy through, as the copy loop calls it.
#include <benchmark/benchmark.h>

#include <vector>

#include "image_copy.h"
#include "image_format.h"

namespace {

void check_sum32_buffer(benchmark::State& state) {
    const auto length = static_cast<std::int32_t>(state.range(0));
    // One buffer's worth, summed whole; right after a read it sits in the cache like this.
    std::vector<std::uint8_t> data(static_cast<std::size_t>(length));
    for (std::size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<std::uint8_t>(i * 131 + 7);
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(swug::check_sum32(data.data(), length));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * length);
}
BENCHMARK(check_sum32_buffer)->Arg(static_cast<std::int64_t>(swug::copy_buffer_size));

}  // namespace

BENCHMARK_MAIN();
