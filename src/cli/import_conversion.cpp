#include "cli/import_conversion.h"

#include <array>
#include <chrono>
#include <string>
#include <vector>

#include "cli/import_bank.h"
#include "cli/import_report.h"
#include "cli/io.h"
#include "cli/palette_input.h"
#include "data/block_map.h"
#include "data/cell_grid.h"
#include "data/palette.h"
#include "data/palette_formats.h"
#include "import/conversion.h"
#include "import/picture.h"
#include "platform/failure.h"

namespace nrbx::cli {

namespace {

std::vector<std::string> outputNames(const ImportOptions& o) {
    std::vector<std::string> names;
    for (const auto* name : {&o.output, &o.paletteOut, &o.blockMapOut, &o.errorMap})
        if (*name) names.push_back(**name);
    return names;
}

// Everything that can be told from the names alone, before any file is read.
std::string checkFiles(const ImportOptions& o) {
    std::vector<std::string> inputs{o.picture};
    for (const auto* name : {&o.palette, &o.blocks, &o.base})
        if (*name) inputs.push_back(**name);
    const std::vector<std::string> outputs = outputNames(o);
    if (std::string error = checkStandardStreams(inputs, outputs); !error.empty()) return error;
    OutputCheck check;
    check.addInput(o.picture, "the picture '" + o.picture + "'");
    if (o.palette) check.addInput(*o.palette, "the palette file '" + *o.palette + "'");
    if (o.blocks) check.addInput(*o.blocks, "the block map '" + *o.blocks + "'");
    if (o.base) check.addInput(*o.base, "the base pattern '" + *o.base + "'");
    if (!o.force) check.refuseExisting();
    // Each output is named by its option: all of them come from the one picture.
    const std::pair<const std::optional<std::string>*, const char*> named[] = {
        {&o.output, "--output"},
        {&o.paletteOut, "--palette-out"},
        {&o.blockMapOut, "--block-map"},
        {&o.errorMap, "--error-map"}};
    for (const auto& [output, option] : named) {
        if (!*output) continue;
        if (std::string error = check.addOutput(**output, option); !error.empty()) return error;
    }
    return {};
}

importing::ImportSettings settingsFor(const Tool& tool, const ImportOptions& o) {
    importing::ImportSettings settings;
    settings.atX = o.atX;
    settings.atY = o.atY;
    settings.spriteIndexed = o.spriteIndexed;
    settings.block = o.block;
    settings.nearest = o.nearest;
    settings.alphaThreshold = o.alphaThreshold;
    if (o.packSeconds) settings.packingTimeLimit = std::chrono::seconds(*o.packSeconds);
    if (o.reduce) settings.reduce = reduceSettings(o);
    if (o.palette)
        settings.palette =
            readPalette(*o.palette, [&tool](const std::string& text) { tool.warning(text); }).file;
    if (o.blocks)
        settings.blocks =
            data::parseBlockMap(readInput(*o.blocks, data::kBlockMapBytes + 1).bytes, *o.blocks);
    return settings;
}

importing::PatternBytes basePattern(const Tool& tool, const ImportOptions& o) {
    importing::PatternBytes base{};
    if (!o.base) return base;
    const InputData in = readInput(*o.base, base.size());
    if (const auto text = sizeWarning(*o.base, in, base.size(), "base pattern")) tool.warning(*text);
    std::copy(in.bytes.begin(), in.bytes.end(), base.begin());
    return base;
}

std::string blocksUsed(const importing::ImportResult& result, const importing::Picture& picture,
                       const ImportOptions& o) {
    std::array<bool, data::kPaletteBlocks> used{};
    for (int cy = o.atY; cy < o.atY + picture.height / data::kCellSize; ++cy)
        for (int cx = o.atX; cx < o.atX + picture.width / data::kCellSize; ++cx)
            used[result.blockMap[cy * data::kCellsPerSide + cx]] = true;
    std::string text;
    for (int b = 0; b < data::kPaletteBlocks; ++b) {
        if (!used[b]) continue;
        // Appended piece by piece: GCC 12 -O3 misreports -Wrestrict on "" + std::string.
        if (!text.empty()) text += ' ';
        text += std::to_string(b);
    }
    return text;
}

}  // namespace

int runImport(const Tool& tool, const ImportOptions& o) {
    if (o.bank()) return runBank(tool, o);
    if (std::string error = checkFiles(o); !error.empty()) return tool.usageError(error);
    try {
        const InputData in = readInput(o.picture, importing::kMaxPictureFileBytes);
        if (in.longer || in.size > in.bytes.size()) throw importing::pictureTooLarge(o.picture);
        const importing::Picture picture = importing::decodePicture(in.bytes, o.picture);
        const importing::ImportSettings settings = settingsFor(tool, o);
        const importing::ImportResult result =
            importing::importPicture(picture, settings, basePattern(tool, o), o.picture);
        for (const auto& warning : result.warnings) tool.warning(warning);
        const ImportReport report = reportOn(picture, result, o);
        if (o.verbose) {
            for (const auto& note : result.notes) tool.message(note);
            tool.message(o.picture + ": " + std::to_string(picture.width) + " x " +
                         std::to_string(picture.height) + " pixels into cells " + std::to_string(o.atX) +
                         "," + std::to_string(o.atY) + ":" +
                         std::to_string(o.atX + picture.width / data::kCellSize - 1) + "," +
                         std::to_string(o.atY + picture.height / data::kCellSize - 1) + ", palette blocks " +
                         blocksUsed(result, picture, o));
            if (report.qualityLine) tool.message(*report.qualityLine);
        }
        // All outputs or none: each complete in its temporary file before the first is renamed.
        StagedOutputs outputs;
        if (o.output) outputs.add(*o.output, result.pattern);
        if (o.paletteOut) outputs.add(*o.paletteOut, result.palette.bytes);
        if (o.blockMapOut) outputs.add(*o.blockMapOut, result.blockMap);
        if (o.errorMap) outputs.add(*o.errorMap, report.errorMapPng);
        outputs.commit();
    } catch (const platform::Failure& failure) {
        return tool.failed(failure);
    }
    return kExitOk;
}

}  // namespace nrbx::cli
