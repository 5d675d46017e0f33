#include "yardstick.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace nrbx::bench {

namespace {

alignas(64) std::uint8_t g_from[kYardstickBytes];
alignas(64) std::uint8_t g_to[kYardstickBytes];
double g_seconds = 0;

}  // namespace

void copyYardstick() {
    benchmark::DoNotOptimize(g_from);
    std::memcpy(g_to, g_from, kYardstickBytes);
    benchmark::DoNotOptimize(g_to);
}

void sampleYardstick(std::vector<double>& samples, int copies) {
    for (int i = 0; i < copies; ++i) {
        const auto start = Clock::now();
        copyYardstick();
        samples.push_back(secondsSince(start));
    }
}

double medianOf(std::vector<double>& samples) {
    if (samples.empty()) return 0;
    const auto middle = samples.begin() + samples.size() / 2;
    std::nth_element(samples.begin(), middle, samples.end());
    return *middle;
}

void measureYardstick() {
    std::memset(g_from, 0x5A, kYardstickBytes);
    // Warm the caches and the clock frequency first; each copy is timed on its own, as the benchmarks
    // time each call.
    for (int i = 0; i < 500; ++i) copyYardstick();
    std::vector<double> samples;
    sampleYardstick(samples, 4001);
    g_seconds = medianOf(samples);
}

double yardstickSeconds() {
    return g_seconds;
}

}  // namespace nrbx::bench
