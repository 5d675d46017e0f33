// nrbx-export: the window's picture conversion for scripts and build pipelines, without a display.

#include <algorithm>
#include <exception>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "canvas/start_up.h"
#include "cli/conversion.h"
#include "cli/io.h"
#include "cli/jobs.h"
#include "cli/options.h"
#include "cli/progress.h"
#include "cli/tool.h"
#include "data/block_map.h"
#include "data/palette.h"
#include "data/palette_formats.h"
#include "data/pattern.h"
#include "platform/failure.h"

namespace {

using namespace nrbx;

// A size other than the format's still converts, as the window loads it, but the user is told.
std::optional<std::string> sizeWarning(const std::string& name, const cli::InputData& in,
                                       std::size_t expected, const char* what) {
    if (in.size == expected && !in.longer) return std::nullopt;
    const std::string size = in.longer ? "more than " + std::to_string(expected) : std::to_string(in.size);
    return what + std::string(" '") + name + "' has " + size + " bytes, not " + std::to_string(expected) +
           (in.longer || in.size > expected ? "; the rest is ignored" : "; the rest is taken as zeros");
}

// The palette as read, or the built-in one as the palette file would hold it.
data::PaletteFile paletteTable(const std::optional<data::PaletteFile>& given) {
    if (given) return *given;
    canvas::resetPictureToStartUp();
    data::PaletteFile palette;
    for (int k = 0; k < data::kPaletteEntries; ++k) {
        palette.setWord(k, data::wordFromColor(data::paletteState().table[k]));
    }
    return palette;
}

int run(const cli::Tool& tool, const cli::Options& options) {
    const cli::Plan plan = cli::planJobs(options);
    if (!plan.error.empty()) return tool.usageError(plan.error);
    cli::Progress progress(tool.err(), tool.name(), plan.jobs.size(), tool.progressWanted(), options.verbose);
    auto warn = [&](const std::optional<std::string>& text) {
        if (text && !tool.quiet()) progress.line(tool.name() + ": warning: " + *text);
    };
    std::optional<std::vector<std::uint8_t>> palette;
    std::optional<data::PaletteFile> paletteFile;
    std::optional<data::BlockMap> blockMap;
    // Read once, so a missing one is reported once rather than for every input.
    try {
        if (options.palette) {
            cli::InputData in = cli::readInput(*options.palette, data::kMaxTextPaletteBytes);
            paletteFile = data::parsePalette(in.bytes, *options.palette);
            if (paletteFile->format == data::PaletteFormat::Binary) {
                warn(sizeWarning(*options.palette, in, data::kPaletteBytes, "palette file"));
                in.bytes.resize(std::min(in.bytes.size(), data::kPaletteBytes));
                palette = std::move(in.bytes);
            } else {
                if (in.longer || in.size > in.bytes.size()) throw data::paletteTooLarge(*options.palette);
                palette.emplace(paletteFile->bytes.begin(), paletteFile->bytes.end());
            }
        }
        if (options.blockMap) {
            blockMap = data::parseBlockMap(cli::readInput(*options.blockMap, data::kBlockMapBytes + 1).bytes,
                                           *options.blockMap);
        }
    } catch (const platform::Failure& failure) {
        progress.failed(cli::failureText(failure));
        return cli::kExitFailed;
    }
    bool anyFailed = false;
    if (options.paletteOut) {
        try {
            const std::string text =
                data::formatPalette(paletteTable(paletteFile), cli::paletteFormatFor(options));
            cli::writeOutput(*options.paletteOut,
                             {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
        } catch (const platform::Failure& failure) {
            progress.failed(cli::failureText(failure));
            anyFailed = true;
        }
    }
    for (std::size_t i = 0; i < plan.jobs.size(); ++i) {
        const cli::Job& job = plan.jobs[i];
        progress.starting(i, job.input, job.cells.empty() ? job.output : job.cells.front().output);
        try {
            const cli::InputData in = cli::readInput(job.input, data::kPatternBytes);
            warn(sizeWarning(job.input, in, data::kPatternBytes, "pattern file"));
            cli::convertFile(options, job, in.bytes, palette, blockMap);
        } catch (const platform::Failure& failure) {
            progress.failed(cli::failureText(failure));
            anyFailed = true;
        }
    }
    progress.finish();
    return anyFailed ? cli::kExitFailed : cli::kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
    nrbx::cli::Tool tool("nrbx-export");
    try {
        const std::vector<std::string> args(argv + 1, argv + argc);
        const nrbx::cli::CommandLine line = nrbx::cli::parseCommandLine(args);
        switch (line.action) {
            case nrbx::cli::Action::Help:
                std::cout << nrbx::cli::helpText();
                return nrbx::cli::kExitOk;
            case nrbx::cli::Action::Version:
                std::cout << tool.versionText();
                return nrbx::cli::kExitOk;
            case nrbx::cli::Action::UsageError:
                return tool.usageError(line.error);
            case nrbx::cli::Action::Convert:
                break;
        }
        tool.setQuiet(line.options.quiet);
        return run(tool, line.options);
    } catch (const std::exception& e) {
        // Last resort for what is not a failure of the program's own (memory exhausted, for one).
        tool.message(nrbx::platform::withFullStop(e.what()));
        return nrbx::cli::kExitFailed;
    }
}
