// nrbx-import: a PNG or BMP picture back into sprite-pattern file, palette file and block map.

#include <chrono>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "cli/import_options.h"
#include "cli/io.h"
#include "cli/tool.h"
#include "data/block_map.h"
#include "data/palette_formats.h"
#include "import/conversion.h"
#include "import/picture.h"
#include "platform/failure.h"

namespace {

using namespace nrbx;

std::vector<std::string> outputNames(const cli::ImportOptions& o) {
    std::vector<std::string> names;
    for (const auto* name : {&o.output, &o.paletteOut, &o.blockMapOut})
        if (*name) names.push_back(**name);
    return names;
}

// Everything that can be told from the names alone, before any file is read.
std::string checkFiles(const cli::ImportOptions& o) {
    std::vector<std::string> inputs{o.picture};
    for (const auto* name : {&o.palette, &o.blocks, &o.base})
        if (*name) inputs.push_back(**name);
    const std::vector<std::string> outputs = outputNames(o);
    if (std::string error = cli::checkStandardStreams(inputs, outputs); !error.empty()) return error;
    cli::OutputCheck check;
    check.addInput(o.picture, "the picture '" + o.picture + "'");
    if (o.palette) check.addInput(*o.palette, "the palette file '" + *o.palette + "'");
    if (o.blocks) check.addInput(*o.blocks, "the block map '" + *o.blocks + "'");
    if (o.base) check.addInput(*o.base, "the base pattern '" + *o.base + "'");
    if (!o.force) check.refuseExisting();
    // Each output is named by its option: all of them come from the one picture.
    const std::pair<const std::optional<std::string>*, const char*> named[] = {
        {&o.output, "--output"}, {&o.paletteOut, "--palette-out"}, {&o.blockMapOut, "--block-map"}};
    for (const auto& [output, option] : named) {
        if (!*output) continue;
        if (std::string error = check.addOutput(**output, option); !error.empty()) return error;
    }
    return {};
}

importing::ImportSettings settingsFor(const cli::Tool& tool, const cli::ImportOptions& o) {
    importing::ImportSettings settings;
    settings.atX = o.atX;
    settings.atY = o.atY;
    settings.spriteIndexed = o.spriteIndexed;
    settings.block = o.block;
    settings.nearest = o.nearest;
    settings.alphaThreshold = o.alphaThreshold;
    if (o.packSeconds) settings.packingTimeLimit = std::chrono::seconds(*o.packSeconds);
    if (o.palette) {
        const cli::InputData in = cli::readInput(*o.palette, data::kMaxTextPaletteBytes);
        settings.palette = data::parsePalette(in.bytes, *o.palette);
        if (settings.palette->format != data::PaletteFormat::Binary &&
            (in.longer || in.size > in.bytes.size()))
            throw data::paletteTooLarge(*o.palette);
        if (settings.palette->format == data::PaletteFormat::Binary && in.size != data::kPaletteBytes) {
            tool.warning("palette file '" + *o.palette + "' has " + std::to_string(in.size) +
                         " bytes, not 512; " +
                         (in.size > 512 ? "the rest is ignored" : "the rest is taken as zeros"));
        }
    }
    if (o.blocks)
        settings.blocks =
            data::parseBlockMap(cli::readInput(*o.blocks, data::kBlockMapBytes + 1).bytes, *o.blocks);
    return settings;
}

importing::PatternBytes basePattern(const cli::Tool& tool, const cli::ImportOptions& o) {
    importing::PatternBytes base{};
    if (!o.base) return base;
    const cli::InputData in = cli::readInput(*o.base, base.size());
    if (in.size != base.size() || in.longer) {
        tool.warning("base pattern '" + *o.base + "' has " + std::to_string(in.size) + " bytes, not 32768; " +
                     (in.size > base.size() ? "the rest is ignored" : "the rest is taken as zeros"));
    }
    std::copy(in.bytes.begin(), in.bytes.end(), base.begin());
    return base;
}

std::string blocksUsed(const importing::ImportResult& result, const importing::Picture& picture,
                       const cli::ImportOptions& o) {
    std::array<bool, 16> used{};
    for (int cy = o.atY; cy < o.atY + picture.height / 16; ++cy)
        for (int cx = o.atX; cx < o.atX + picture.width / 16; ++cx)
            used[result.blockMap[cy * 16 + cx]] = true;
    std::string text;
    for (int b = 0; b < 16; ++b)
        if (used[b]) text += (text.empty() ? "" : " ") + std::to_string(b);
    return text;
}

int run(const cli::Tool& tool, const cli::ImportOptions& o) {
    if (std::string error = checkFiles(o); !error.empty()) return tool.usageError(error);
    try {
        const cli::InputData in = cli::readInput(o.picture, importing::kMaxPictureFileBytes);
        if (in.longer || in.size > in.bytes.size()) throw importing::pictureTooLarge(o.picture);
        const importing::Picture picture = importing::decodePicture(in.bytes, o.picture);
        const importing::ImportSettings settings = settingsFor(tool, o);
        const importing::ImportResult result =
            importing::importPicture(picture, settings, basePattern(tool, o), o.picture);
        for (const auto& warning : result.warnings) tool.warning(warning);
        if (o.verbose) {
            for (const auto& note : result.notes) tool.message(note);
            tool.message(o.picture + ": " + std::to_string(picture.width) + " x " +
                         std::to_string(picture.height) + " pixels into cells " + std::to_string(o.atX) +
                         "," + std::to_string(o.atY) + ":" + std::to_string(o.atX + picture.width / 16 - 1) +
                         "," + std::to_string(o.atY + picture.height / 16 - 1) + ", palette blocks " +
                         blocksUsed(result, picture, o));
        }
        // All outputs or none: each complete in its temporary file before the first is renamed.
        cli::StagedOutputs outputs;
        if (o.output) outputs.add(*o.output, result.pattern);
        if (o.paletteOut) outputs.add(*o.paletteOut, result.palette.bytes);
        if (o.blockMapOut) outputs.add(*o.blockMapOut, result.blockMap);
        outputs.commit();
    } catch (const platform::Failure& failure) {
        return tool.failed(failure);
    }
    return cli::kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
    cli::Tool tool("nrbx-import");
    try {
        const std::vector<std::string> args(argv + 1, argv + argc);
        const cli::ImportCommandLine line = cli::parseImportCommandLine(args);
        switch (line.action) {
            case cli::ImportCommandLine::Action::Help:
                std::cout << cli::importHelpText();
                return cli::kExitOk;
            case cli::ImportCommandLine::Action::Version:
                std::cout << tool.versionText();
                return cli::kExitOk;
            case cli::ImportCommandLine::Action::UsageError:
                return tool.usageError(line.error);
            case cli::ImportCommandLine::Action::Import:
                break;
        }
        tool.setQuiet(line.options.quiet);
        return run(tool, line.options);
    } catch (const std::exception& e) {
        // Last resort for what is not a failure of the program's own (memory exhausted, for one).
        tool.message(platform::withFullStop(e.what()));
        return cli::kExitFailed;
    }
}
