#pragma once
// The yardstick every figure is divided by: one memcpy of a 256 x 256 24-bit image (192 KiB).

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstddef>

namespace nrbx::bench {

constexpr std::size_t kYardstickBytes = 256 * 256 * 3;

// One copy between two buffers kept for the whole run.
void copyYardstick();

// Median of many single copies, taken once before the benchmarks run.
void measureYardstick();
double yardstickSeconds();

using Clock = std::chrono::steady_clock;

inline double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Times op() alone in every iteration, after an untimed prepare(); reports the time as the
// benchmark's (manual) time and as the counter x_memcpy, the time in yardsticks.
template <class Prepare, class Op>
void timeEach(benchmark::State& state, Prepare&& prepare, Op&& op) {
    double total = 0;
    for (auto _ : state) {
        prepare();
        const auto start = Clock::now();
        op();
        const double s = secondsSince(start);
        state.SetIterationTime(s);
        total += s;
    }
    state.counters["x_memcpy"] =
        benchmark::Counter(total / yardstickSeconds(), benchmark::Counter::kAvgIterations);
}

template <class Op>
void timeEach(benchmark::State& state, Op&& op) {
    timeEach(
        state, [] {}, op);
}

}  // namespace nrbx::bench
