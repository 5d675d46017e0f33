#include "cli/import_conversion.h"

#include <array>
#include <chrono>
#include <string>
#include <vector>

#include "cli/import_bank.h"
#include "cli/import_inputs.h"
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

std::string checkFiles(const ImportOptions& o) {
    std::vector<std::pair<std::string, std::string>> inputs{{o.picture, "the picture '" + o.picture + "'"}};
    if (o.palette) inputs.emplace_back(*o.palette, "the palette file '" + *o.palette + "'");
    if (o.blocks) inputs.emplace_back(*o.blocks, "the block map '" + *o.blocks + "'");
    if (o.base) inputs.emplace_back(*o.base, "the base pattern '" + *o.base + "'");
    // Each output is named by its option: all of them come from the one picture.
    const NamedOutput outputs[] = {{&o.output, "--output"},
                                   {&o.paletteOut, "--palette-out"},
                                   {&o.blockMapOut, "--block-map"},
                                   {&o.errorMap, "--error-map"}};
    return checkImportNames(inputs, outputs, o.force);
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
