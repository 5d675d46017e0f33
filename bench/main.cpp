// nrbx-bench: every benchmark, each also given in yardsticks (x_memcpy), memcpys of one 24-bit picture.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "yardstick.h"

int main(int argc, char** argv) {
    // Defaults for a noisy shared machine: repeat and keep the aggregates. Flags given on the command
    // line come later and win.
    std::vector<char*> args{argv[0]};
    std::string repetitions = "--benchmark_repetitions=9";
    std::string aggregates = "--benchmark_display_aggregates_only=true";
    std::string minTime = "--benchmark_min_time=0.2";
    args.push_back(repetitions.data());
    args.push_back(aggregates.data());
    args.push_back(minTime.data());
    for (int i = 1; i < argc; ++i) args.push_back(argv[i]);
    int count = static_cast<int>(args.size());
    args.push_back(nullptr);

    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 1;

    nrbx::bench::measureYardstick();
    char text[64];
    std::snprintf(text, sizeof text, "%.0f ns", nrbx::bench::yardstickSeconds() * 1e9);
    benchmark::AddCustomContext("memcpy of 192 KiB at start-up (median)", text);

    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
