#include "cli/export_jobs.h"

#include <cstdio>
#include <filesystem>

#include "cli/io.h"

namespace nrbx::cli {

namespace fs = std::filesystem;

namespace {

std::string extensionOf(const Format format) {
    return std::string(".") + toString(format);
}

}  // namespace

std::string splitName(const std::string& output, int cx, int cy) {
    const fs::path path(output);
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, "-%02d-%02d", cx, cy);
    fs::path name = path.stem();
    name += suffix;
    name += path.extension();
    return (path.parent_path() / name).string();
}

Plan planJobs(const Options& options) {
    Plan plan;
    if (options.outputDir) {
        std::error_code ec;
        const fs::file_status st = fs::status(*options.outputDir, ec);
        if (!fs::exists(st)) {
            plan.error = "output folder '" + *options.outputDir + "' does not exist";
            return plan;
        }
        if (!fs::is_directory(st)) {
            plan.error = "'" + *options.outputDir + "' is not a folder";
            return plan;
        }
    }
    std::vector<std::string> inputs = options.patterns;
    if (options.palette) inputs.push_back(*options.palette);
    if (options.blockMap) inputs.push_back(*options.blockMap);
    for (const auto& input : options.patterns) {
        Job job;
        job.input = input;
        if (options.output) {
            job.output = *options.output;
            job.format = formatFor(options, job.output);
        } else if (isStandardStream(input)) {
            plan.error = "standard input ('-') needs --output to name its picture";
            return plan;
        } else {
            job.format = formatFor(options, "");
            fs::path name = fs::path(input).filename();
            name.replace_extension(extensionOf(job.format));
            job.output = options.outputDir ? (fs::path(*options.outputDir) / name).string()
                                           : (fs::path(input).parent_path() / name).string();
        }
        if (options.split) {
            const canvas::CellRect r = writtenCells(options);
            for (int cy = r.y0; cy <= r.y1; ++cy)
                for (int cx = r.x0; cx <= r.x1; ++cx)
                    job.cells.push_back(CellOutput{cx, cy, splitName(job.output, cx, cy)});
        }
        plan.jobs.push_back(job);
    }
    // Checked before any conversion, so a bad batch writes nothing rather than half of itself.
    std::vector<std::string> outputs;
    for (const auto& job : plan.jobs) {
        if (job.cells.empty()) outputs.push_back(job.output);
        for (const auto& cell : job.cells) outputs.push_back(cell.output);
    }
    if (options.paletteOut) outputs.push_back(*options.paletteOut);
    if (std::string error = checkStandardStreams(inputs, outputs); !error.empty()) {
        plan.error = std::move(error);
        return plan;
    }
    OutputCheck check;
    if (options.palette) check.addInput(*options.palette, "the palette file '" + *options.palette + "'");
    if (options.blockMap) check.addInput(*options.blockMap, "the block map '" + *options.blockMap + "'");
    for (const auto& job : plan.jobs) check.addInput(job.input, "the input '" + job.input + "'");
    for (const auto& job : plan.jobs) {
        if (job.cells.empty()) plan.error = check.addOutput(job.output, job.input);
        for (const auto& cell : job.cells) {
            if (!plan.error.empty()) break;
            plan.error = check.addOutput(cell.output, job.input);
        }
        if (!plan.error.empty()) return plan;
    }
    if (options.paletteOut) {
        // A palette file is kept work, unlike a picture made from it: replaced only when asked.
        if (!options.force) check.refuseExisting();
        plan.error = check.addOutput(*options.paletteOut, options.palette.value_or("the palette"));
    }
    return plan;
}

}  // namespace nrbx::cli
