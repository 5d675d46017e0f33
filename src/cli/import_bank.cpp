#include "cli/import_bank.h"

#include <string>
#include <vector>

#include "cli/bank_layout.h"
#include "cli/c_header.h"
#include "cli/import_inputs.h"
#include "cli/import_report.h"
#include "cli/io.h"
#include "cli/manifest.h"
#include "cli/palette_input.h"
#include "data/version.h"
#include "data/version_text.h"
#include "import/bank.h"
#include "import/error_space.h"
#include "import/picture.h"
#include "platform/failure.h"

namespace nrbx::cli {

namespace {

std::string checkFiles(const ImportOptions& o) {
    std::vector<std::pair<std::string, std::string>> inputs;
    for (const PictureOperand& p : o.pictures) inputs.emplace_back(p.name, "the picture '" + p.name + "'");
    if (o.palette) inputs.emplace_back(*o.palette, "the palette file '" + *o.palette + "'");
    if (o.base) inputs.emplace_back(*o.base, "the base pattern '" + *o.base + "'");
    const NamedOutput outputs[] = {{&o.output, "--output"},
                                   {&o.paletteOut, "--palette-out"},
                                   {&o.blockMapOut, "--block-map"},
                                   {&o.manifest, "--manifest"},
                                   {&o.header, "--header"}};
    return checkImportNames(inputs, outputs, o.force);
}

importing::BankSettings settingsFor(const Tool& tool, const ImportOptions& o) {
    importing::BankSettings settings;
    settings.alphaThreshold = o.alphaThreshold;
    if (o.packSeconds) settings.packingTimeLimit = std::chrono::seconds(*o.packSeconds);
    if (o.reduce) settings.reduce = reduceSettings(o);
    if (o.palette) {
        settings.palette =
            readPalette(*o.palette, [&tool](const std::string& text) { tool.warning(text); }).file;
        // -p alone keeps every block: the pictures' colours are matched to it.
        if (o.keep) {
            settings.kept = *o.keep;
        } else {
            settings.kept.fill(true);
        }
    }
    return settings;
}

std::string boolText(bool value) {
    return value ? "true" : "false";
}

std::string optionalNumber(const std::optional<int>& value) {
    return value ? std::to_string(*value) : "null";
}

std::string optionalName(const std::optional<std::string>& name) {
    return name ? jsonString(*name) : "null";
}

std::vector<std::pair<std::string, std::string>> settingsJson(const ImportOptions& o,
                                                              const importing::BankSettings& s) {
    std::string kept = "[";
    for (int b = 0; b < data::kPaletteBlocks; ++b)
        if (s.palette && s.kept[std::size_t(b)]) kept += (kept.size() > 1 ? ", " : "") + std::to_string(b);
    std::vector<std::pair<std::string, std::string>> json = {
        {"mode", o.reduce ? "\"reduce\"" : "\"exact\""},
        {"palette", optionalName(o.palette)},
        {"keep_blocks", kept + "]"},
        {"dedupe", boolText(o.dedupe)},
        {"skip_empty", boolText(o.skipEmpty)},
        {"base", optionalName(o.base)},
        {"block", std::to_string(o.block)},
        {"alpha_threshold", optionalNumber(o.alphaThreshold)},
        {"pack_time", optionalNumber(o.packSeconds)},
    };
    if (s.reduce) {
        json.emplace_back("reduce_blocks", std::to_string(s.reduce->blocks));
        json.emplace_back("reduce_colours", std::to_string(s.reduce->colours));
        json.emplace_back("dither", jsonString(importing::toString(s.reduce->dither)));
        json.emplace_back("error", jsonString(importing::toString(s.reduce->error)));
        json.emplace_back("seed", std::to_string(s.reduce->seed));
    }
    return json;
}

}  // namespace

int runBank(const Tool& tool, const ImportOptions& o) {
    if (std::string error = checkFiles(o); !error.empty()) return tool.usageError(error);
    try {
        std::vector<std::string> names;
        std::vector<importing::Picture> pictures;
        std::vector<std::optional<CellPlace>> given;
        for (const PictureOperand& operand : o.pictures) {
            const InputData in = readInput(operand.name, importing::kMaxPictureFileBytes);
            if (in.longer || in.size > in.bytes.size()) throw importing::pictureTooLarge(operand.name);
            pictures.push_back(importing::decodePicture(in.bytes, operand.name));
            names.push_back(operand.name);
            given.push_back(o.atGiven ? std::optional<CellPlace>(CellPlace{o.atX, o.atY}) : operand.at);
        }
        const importing::BankSettings settings = settingsFor(tool, o);
        const importing::Bank bank = importing::importBank(pictures, names, settings);
        for (const auto& warning : bank.warnings) tool.warning(warning);
        const std::vector<PlacedPicture> placed = o.dedupe || o.skipEmpty
                                                      ? placeInSequence(bank, names, o.dedupe, o.skipEmpty)
                                                      : placeRectangles(bank, names, given);
        const Sheet sheet = writeSheet(bank, placed, basePattern(tool, o), o.block);
        if (o.verbose) {
            for (const auto& note : bank.notes) tool.message(note);
            for (std::size_t i = 0; i < pictures.size(); ++i)
                if (bank.pictures[i].quality) tool.message(qualityLine(names[i], *bank.pictures[i].quality));
            int used = 0;
            for (const PlacedPicture& p : placed)
                for (int sprite : p.sprites) used = std::max(used, sprite + 1);
            tool.message(std::to_string(pictures.size()) + " picture" + (pictures.size() == 1 ? "" : "s") +
                         (used == 0 ? " into no sprite" : " into sprites 0.." + std::to_string(used - 1)));
        }

        const std::string version = data::versionNumber(data::kVersionValue);
        std::string manifestText, headerText;
        if (o.manifest) {
            Manifest manifest{version, settingsJson(o, settings), {}, bank.palette};
            for (std::size_t i = 0; i < pictures.size(); ++i) {
                ManifestPicture& p = manifest.pictures.emplace_back();
                p.file = names[i];
                p.columns = bank.pictures[i].columns;
                p.rows = bank.pictures[i].rows;
                p.at = placed[i].at;
                p.sprites = placed[i].sprites;
                for (const importing::BankCell& cell : bank.pictures[i].cells) p.blocks.push_back(cell.block);
                // A picture with no opaque pixel has nothing to measure.
                if (const auto& quality = bank.pictures[i].quality; quality && quality->opaquePixels > 0)
                    p.psnr = quality->psnr;
            }
            manifestText = manifestJson(manifest);
        }
        if (o.header) {
            std::vector<HeaderPicture> entries;
            for (std::size_t i = 0; i < pictures.size(); ++i)
                entries.push_back(
                    {names[i], bank.pictures[i].columns, bank.pictures[i].rows, placed[i].sprites});
            headerText = cHeader(*o.header, version, entries);
        }
        // All outputs or none: each complete in its temporary file before the first is renamed.
        const auto bytes = [](const std::string& text) {
            return std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
        };
        StagedOutputs outputs;
        if (o.output) outputs.add(*o.output, sheet.pattern);
        if (o.paletteOut) outputs.add(*o.paletteOut, bank.palette.bytes);
        if (o.blockMapOut) outputs.add(*o.blockMapOut, sheet.blockMap);
        if (o.manifest) outputs.add(*o.manifest, bytes(manifestText));
        if (o.header) outputs.add(*o.header, bytes(headerText));
        outputs.commit();
    } catch (const platform::Failure& failure) {
        return tool.failed(failure);
    }
    return kExitOk;
}

}  // namespace nrbx::cli
