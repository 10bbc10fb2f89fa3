// Throughput of the search and the interpreter over a whole 64 KiB window: the worst case
// (no signature, a near-miss at every fourth byte) and the real dump, with memmem beside
// them for context.
#include "analysis/image.h"
#include "analysis/pattern.h"
#include "analysis/version.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string.h>
#include <vector>

namespace {

const unsigned char SIGNATURE[] = {0x90, 0x07, 0xF0, 0x74};

// 90 07 F0 75 over and over: the second byte, the tail's first byte and the first byte all
// match, and only the last byte tells it is no signature.
std::vector<unsigned char> near_misses() {
    std::vector<unsigned char> window(IMAGE_WINDOW_SIZE);
    for (std::size_t i = 0; i < window.size(); ++i)
        window[i] = i % 4 == 3 ? 0x75 : SIGNATURE[i % 4];
    return window;
}

std::vector<unsigned char> real_dump() {
    std::ifstream in(TOLMARIK_SOURCE_DIR "/../shared/fixtures/bridge-fw-141126_A1_CC_40.bin",
                     std::ios::binary);
    std::vector<unsigned char> window(IMAGE_WINDOW_SIZE, 0);
    in.read(reinterpret_cast<char*>(window.data()), static_cast<std::streamsize>(window.size()));
    return in.gcount() > 0 ? window : std::vector<unsigned char>();
}

void run_find_pattern(benchmark::State& state, const std::vector<unsigned char>& window) {
    if (window.empty()) {
        state.SkipWithError("../shared/fixtures is absent: no real dump");
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(find_pattern(window.data(), window.size(), SIGNATURE, 4));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * window.size()));
}

void run_memmem(benchmark::State& state, const std::vector<unsigned char>& window) {
    if (window.empty()) {
        state.SkipWithError("../shared/fixtures is absent: no real dump");
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(memmem(window.data(), window.size(), SIGNATURE, 4));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * window.size()));
}

void run_extract_version(benchmark::State& state, const std::vector<unsigned char>& window) {
    if (window.empty()) {
        state.SkipWithError("../shared/fixtures is absent: no real dump");
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(extract_version(window.data(), window.size()));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * window.size()));
}

} // namespace

BENCHMARK_CAPTURE(run_find_pattern, near_misses, near_misses());
BENCHMARK_CAPTURE(run_memmem, near_misses, near_misses());
BENCHMARK_CAPTURE(run_extract_version, near_misses, near_misses());
BENCHMARK_CAPTURE(run_find_pattern, real_dump, real_dump());
BENCHMARK_CAPTURE(run_memmem, real_dump, real_dump());
BENCHMARK_CAPTURE(run_extract_version, real_dump, real_dump());

BENCHMARK_MAIN();
