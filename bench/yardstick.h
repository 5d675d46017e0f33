#pragma once
// The yardstick every figure is divided by: one memcpy of a 256 x 256 24-bit image (192 KiB).

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstddef>
#include <vector>

namespace nrbx::bench {

constexpr std::size_t kYardstickBytes = 256 * 256 * 3;

// One copy between two buffers kept for the whole run.
void copyYardstick();

using Clock = std::chrono::steady_clock;

inline double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Appends the times of `copies` single copies, in seconds.
void sampleYardstick(std::vector<double>& samples, int copies);
// Median of the per-call times, in seconds (reorders them).
double medianOf(std::vector<double>& samples);

// Median of many copies, taken once before the benchmarks run, for the report's header.
void measureYardstick();
double yardstickSeconds();

// Times op() alone in every iteration, after an untimed prepare(). The benchmark's (manual) time is the
// mean per call. The counter x_memcpy is the median per call divided by the median of yardstick copies
// timed just before and just after the loop (memcpy_ns): a call slowed by another process barely moves a
// median, and a machine that is slower for a while is slower for both.
template <class Prepare, class Op>
void timeEach(benchmark::State& state, Prepare&& prepare, Op&& op) {
    std::vector<double> yardstick;
    sampleYardstick(yardstick, 101);
    std::vector<double> samples;
    samples.reserve(static_cast<std::size_t>(state.max_iterations));
    for (auto _ : state) {
        prepare();
        const auto start = Clock::now();
        op();
        const double s = secondsSince(start);
        state.SetIterationTime(s);
        samples.push_back(s);
    }
    sampleYardstick(yardstick, 101);
    const double copy = medianOf(yardstick);
    state.counters["memcpy_ns"] = benchmark::Counter(copy * 1e9);
    state.counters["x_memcpy"] = benchmark::Counter(medianOf(samples) / copy);
}

template <class Op>
void timeEach(benchmark::State& state, Op&& op) {
    timeEach(
        state, [] {}, op);
}

}  // namespace nrbx::bench
