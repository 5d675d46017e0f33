#include "cli/export_options.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <string_view>
#include <system_error>

#include "cli/option_table.h"
#include "cli/tool.h"

namespace nrbx::cli {

namespace {

constexpr int kMaxScale = 8;

// "X0,Y0:X1,Y1=N": the cells and the block they are rendered with again, one more for each --cells.
ApplyValue cellsBlocks(std::vector<exporting::CellsBlock>& target) {
    return [&target](std::string_view v) {
        const auto equals = v.find('=');
        const auto range = parseCellRect(v.substr(0, equals));
        const auto block = equals == std::string_view::npos
                               ? std::nullopt
                               : parseNumber(v.substr(equals + 1), 0, data::kPaletteBlocks - 1);
        if (!range || !block) return badValue("--cells", v, "X0,Y0:X1,Y1=N, cells 0..15, block 0..15");
        target.push_back(exporting::CellsBlock{*range, *block});
        return std::string();
    };
}

// The name's extension in lower case (".png"), as the format choices read it.
std::string lowerExtension(const std::string& name) {
    std::string ext = std::filesystem::path(name).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return ext;
}

// The table with its values going into o; with a null o only the texts are used (the help).
std::vector<OptionSpec> optionTable(Options& o) {
    return {
        {"palette", 'p', "FILE", "palette file, '-' for standard input (default: the built-in palette)",
         fileName(o.palette, "--palette needs a file name")},
        {"block", 'b', "N", "palette block 0..15 for every cell (default 0)",
         number(o.block, "--block", 0, data::kPaletteBlocks - 1)},
        {"cells", '\0', "X0,Y0:X1,Y1=N",
         "render those cells again with block N (repeatable, applied in order)", cellsBlocks(o.cells)},
        {"select", 's', "X0,Y0:X1,Y1", "write only those cells (corners in any order)",
         cellRect(o.select, "--select")},
        {"depth", 'd', "24|8|4", "colour depth (default 24)",
         choice<int>(o.depth, "--depth", {{"24", 24}, {"8", 8}, {"4", 4}})},
        {"indexed", '\0', "nearest|sprite",
         "8 and 4 bits: nearest colours of a fixed table (default), or the sprite palette itself as table "
         "with every colour index kept (4 bits: all written cells in one block)",
         choice<Indexing>(o.indexing, "--indexed",
                          {{"nearest", Indexing::Nearest}, {"sprite", Indexing::Sprite}})},
        {"format", 'f', "bmp|png", "file format (default: from the output name, else bmp)",
         choice<Format>(o.format, "--format", {{"bmp", Format::Bmp}, {"png", Format::Png}}, Case::Any)},
        {"transparent",
         '\0',
         {},
         "PNG: colour index 0 transparent (24 bits: RGBA; sprite-indexed: each block's index 0)",
         flag(o.transparent)},
        {"scale", '\0', "N", "every pixel as N x N pixels, 1..8 (default 1)",
         number(o.scale, "--scale", 1, kMaxScale)},
        {"split",
         '\0',
         {},
         "one 16x16 file per written cell, named NAME-XX-YY.EXT by the cell",
         flag(o.split)},
        {"block-map", '\0', "FILE",
         "palette block of each sprite from this 256-byte block map (as nrbx-import writes it), applied "
         "after -b and before --cells",
         fileName(o.blockMap, "--block-map needs a file name")},
        {"palette-out", '\0', "FILE",
         "also write the palette table to FILE (then PATTERN is optional); '-' for standard output",
         fileName(o.paletteOut, "--palette-out needs a file name")},
        {"palette-format", '\0', "bin|gpl|jasc",
         "format of --palette-out: the 512-byte palette file, GIMP palette or JASC-PAL (default: gpl for a "
         ".gpl name, else bin)",
         choice<data::PaletteFormat>(o.paletteFormat, "--palette-format",
                                     {{"bin", data::PaletteFormat::Binary},
                                      {"gpl", data::PaletteFormat::Gimp},
                                      {"jasc", data::PaletteFormat::Jasc}},
                                     Case::Any)},
        {"force", '\0', {}, "let --palette-out replace an existing file", flag(o.force)},
        {"output", 'o', "FILE", "output file (one PATTERN only); '-' for standard output",
         fileName(o.output, "--output needs a file name")},
        {"output-dir", 'O', "DIR", "existing folder for the outputs, named as PATTERN with .bmp or .png",
         fileName(o.outputDir, "--output-dir needs a folder name")},
        {"verbose", 'v', {}, "one line per file on stderr", flag(o.verbose)},
        quietOption(o.quiet),
    };
}

std::string cellText(int cx, int cy) {
    return std::to_string(cx) + "," + std::to_string(cy);
}

// Rules between options, checked once all are read.
std::string crossCheck(const Options& o) {
    if (o.paletteFormat && !o.paletteOut) return "--palette-format needs --palette-out";
    if (o.patterns.empty() && (!o.paletteOut || o.output || o.outputDir)) return "no pattern file given";
    if (o.output && o.outputDir) return "--output and --output-dir cannot be used together";
    if (o.output && o.patterns.size() > 1)
        return "--output takes one pattern file; use --output-dir for several";
    if (o.indexing == Indexing::Sprite && o.depth == 24) return "--indexed sprite needs --depth 8 or 4";
    if (o.output && !o.format && *o.output != "-") {
        // Without -f the name says the format; a name that says another one would mislead.
        const std::string ext = lowerExtension(*o.output);
        if (ext != ".bmp" && ext != ".png")
            return "output name '" + *o.output +
                   "' does not end in a supported extension (.bmp, .png); rename it or give --format";
    }
    if (o.transparent && formatFor(o, o.output.value_or("")) == Format::Bmp)
        return "--transparent needs PNG output (BMP has no transparency); give --format png";
    if (o.transparent && o.depth != 24 && o.indexing == Indexing::Nearest)
        return "--transparent at 8 or 4 bits needs --indexed sprite";
    if (o.split && o.output && *o.output == "-")
        return "--split writes several files, not to standard output";
    // With a block map the blocks are known only once it is read; the export then refuses mixed cells.
    if (o.indexing == Indexing::Sprite && o.depth == 4 && !o.split && !o.blockMap) {
        // A 16-colour table holds one block; which block each cell gets is known from the options alone.
        // Split, each cell is a picture of its own and needs only its own block.
        const exporting::CellBlocks blocks = exporting::plannedCellBlocks(o.block, o.cells);
        const canvas::CellRect r = writtenCells(o);
        if (const auto mixed = exporting::firstMixedCell(blocks, r)) {
            const auto [cx, cy] = *mixed;
            return "--indexed sprite --depth 4 needs every written cell in one palette block, but cell " +
                   cellText(cx, cy) + " has block " + std::to_string(blocks[cy][cx]) + " and cell " +
                   cellText(r.x0, r.y0) + " block " + std::to_string(blocks[r.y0][r.x0]) + " (use --depth 8)";
        }
    }
    return {};
}

}  // namespace

const char* toString(Format format) {
    switch (format) {
        case Format::Bmp:
            return "bmp";
        case Format::Png:
            return "png";
    }
    return "?";
}

const char* toString(Indexing indexing) {
    switch (indexing) {
        case Indexing::Nearest:
            return "nearest";
        case Indexing::Sprite:
            return "sprite";
    }
    return "?";
}

Format formatFor(const Options& options, const std::string& outputName) {
    if (options.format) return *options.format;
    return lowerExtension(outputName) == ".png" ? Format::Png : Format::Bmp;
}

data::PaletteFormat paletteFormatFor(const Options& options) {
    if (options.paletteFormat) return *options.paletteFormat;
    if (options.paletteOut && lowerExtension(*options.paletteOut) == ".gpl") return data::PaletteFormat::Gimp;
    return data::PaletteFormat::Binary;
}

canvas::CellRect writtenCells(const Options& options) {
    return options.select.value_or(canvas::CellRect{0, 0, data::kLastCell, data::kLastCell});
}

CommandLine parseCommandLine(std::span<const std::string> args) {
    return readCommandLine<CommandLine>(args, optionTable, [](Options& o, std::vector<std::string> operands) {
        o.patterns = std::move(operands);
        return crossCheck(o);
    });
}

std::string helpText() {
    Options unused;
    return formatHelp(
        HelpLayout{
            "Usage: nrbx-export PATTERN... [options]\n"
            "       nrbx-export [PATTERN...] --palette-out FILE [options]\n",
            "Converts sprite-pattern files to BMP or PNG pictures, exactly as the nrbx window saves them.",
            "Without -o or -O each picture is written beside its PATTERN. A PATTERN of '-' is standard "
            "input. Cells are numbered 0..15 from the top left. -p reads the 512-byte palette file, a GIMP "
            "palette or a "
            "JASC-PAL file, told apart by their content.\n\n"
            "Exit status: 0 when every file was written, 1 when some input failed, 2 for a usage error.",
        },
        optionTable(unused));
}

std::string versionText() {
    return cli::versionText("nrbx-export");
}

}  // namespace nrbx::cli
