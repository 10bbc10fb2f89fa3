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

// Runs `work` over the window and reports the window's bytes per second.
template <typename Work>
void over_window(benchmark::State& state, const std::vector<unsigned char>& window, Work work) {
    if (window.empty()) {
        state.SkipWithError("../shared/fixtures is absent: no real dump");
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(work(window));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * window.size()));
}

auto find_signature = [](const std::vector<unsigned char>& w) {
    return find_pattern(w.data(), w.size(), SIGNATURE, sizeof SIGNATURE);
};
auto memmem_signature = [](const std::vector<unsigned char>& w) {
    return memmem(w.data(), w.size(), SIGNATURE, sizeof SIGNATURE);
};
auto extract = [](const std::vector<unsigned char>& w) {
    return extract_version(w.data(), w.size());
};

} // namespace

BENCHMARK_CAPTURE(over_window, find_pattern_near_misses, near_misses(), find_signature);
BENCHMARK_CAPTURE(over_window, memmem_near_misses, near_misses(), memmem_signature);
BENCHMARK_CAPTURE(over_window, extract_version_near_misses, near_misses(), extract);
BENCHMARK_CAPTURE(over_window, find_pattern_real_dump, real_dump(), find_signature);
BENCHMARK_CAPTURE(over_window, memmem_real_dump, real_dump(), memmem_signature);
BENCHMARK_CAPTURE(over_window, extract_version_real_dump, real_dump(), extract);

BENCHMARK_MAIN();
