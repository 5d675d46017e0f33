#include "yardstick.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

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

void measureYardstick() {
    std::memset(g_from, 0x5A, kYardstickBytes);
    // Warm the caches and the clock frequency first, then time each copy on its own, as the
    // benchmarks time each call: the median shrugs off the other work sharing the machine.
    for (int i = 0; i < 500; ++i) copyYardstick();
    std::vector<double> samples(4001);
    for (auto& s : samples) {
        const auto start = Clock::now();
        copyYardstick();
        s = secondsSince(start);
    }
    std::nth_element(samples.begin(), samples.begin() + samples.size() / 2, samples.end());
    g_seconds = samples[samples.size() / 2];
}

double yardstickSeconds() {
    return g_seconds;
}

}  // namespace nrbx::bench
