#pragma once
// What every tool's main does around its own work: read the command line, answer --help and --version,
// report a usage error, run, and report as a last resort what is not a failure of the program's own.

#include <exception>
#include <iostream>
#include <span>
#include <string>
#include <vector>

#include "cli/tool.h"
#include "platform/failure.h"

namespace nrbx::cli {

// parse(args) gives a command line with an action (Help, Version, UsageError or the tool's own) and,
// for its own, the options (with their quiet flag) that run(tool, options) works from; help() is the
// help text. Returns the exit status.
template <typename Parse, typename Run>
int runTool(std::string name, int argc, char** argv, Parse parse, std::string (*help)(), Run run) {
    Tool tool(std::move(name));
    try {
        const std::vector<std::string> args(argv + 1, argv + argc);
        const auto line = parse(std::span<const std::string>(args));
        using Action = decltype(line.action);
        if (line.action == Action::Help) {
            std::cout << help();
            return kExitOk;
        }
        if (line.action == Action::Version) {
            std::cout << tool.versionText();
            return kExitOk;
        }
        if (line.action == Action::UsageError) return tool.usageError(line.error);
        tool.setQuiet(line.options.quiet);
        return run(tool, line.options);
    } catch (const std::exception& e) {
        // Last resort for what is not a failure of the program's own (memory exhausted, for one).
        tool.message(platform::withFullStop(e.what()));
        return kExitFailed;
    }
}

}  // namespace nrbx::cli
