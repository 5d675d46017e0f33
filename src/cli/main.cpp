// nrbx-export: the window's picture conversion for scripts and build pipelines, without a display.

#include <unistd.h>

#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "cli/conversion.h"
#include "cli/jobs.h"
#include "cli/options.h"
#include "cli/progress.h"
#include "platform/failure.h"

namespace {

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

int usageError(const std::string& message) {
    std::cerr << "nrbx-export: " << message << " (see nrbx-export --help)\n";
    return kExitUsage;
}

int run(const nrbx::cli::Options& options) {
    using namespace nrbx;
    const cli::Plan plan = cli::planJobs(options);
    if (!plan.error.empty()) return usageError(plan.error);
    cli::Progress progress(std::cerr, plan.jobs.size(), ::isatty(STDERR_FILENO) == 1, options.verbose);
    if (options.palette) {
        try {
            cli::checkPalette(*options.palette);
        } catch (const platform::Failure& failure) {
            progress.failed(platform::withFullStop(failure.message()));
            return kExitFailed;
        }
    }
    bool anyFailed = false;
    for (std::size_t i = 0; i < plan.jobs.size(); ++i) {
        progress.starting(i, plan.jobs[i]);
        try {
            cli::convertFile(options, plan.jobs[i]);
        } catch (const platform::Failure& failure) {
            progress.failed(platform::withFullStop(failure.message()));
            anyFailed = true;
        }
    }
    progress.finish();
    return anyFailed ? kExitFailed : 0;
}

}  // namespace

int main(int argc, char** argv) {
    using nrbx::cli::Action;
    try {
        const std::vector<std::string> args(argv + 1, argv + argc);
        const nrbx::cli::CommandLine line = nrbx::cli::parseCommandLine(args);
        switch (line.action) {
            case Action::Help:
                std::cout << nrbx::cli::helpText();
                return 0;
            case Action::Version:
                std::cout << nrbx::cli::versionText();
                return 0;
            case Action::UsageError:
                return usageError(line.error);
            case Action::Convert:
                break;
        }
        return run(line.options);
    } catch (const std::exception& e) {
        // Last resort for what is not a failure of the program's own (memory exhausted, for one).
        std::cerr << "nrbx-export: " << nrbx::platform::withFullStop(e.what()) << '\n';
        return kExitFailed;
    }
}
