#include "cli/import_options.h"

#include <algorithm>
#include <chrono>
#include <tuple>

#include "cli/option_table.h"
#include "data/palette.h"

namespace nrbx::cli {

namespace {

std::vector<OptionSpec> optionTable(ImportOptions& o) {
    return {
        {"output", 'o', "PATTERN", "the sprite-pattern file to write (32768 bytes); '-' for standard output",
         fileName(o.output, "--output needs a file name")},
        {"palette-out", 'P', "FILE", "the palette file to write (512 bytes)",
         fileName(o.paletteOut, "--palette-out needs a file name")},
        {"block-map", '\0', "FILE", "the block map to write: 256 bytes, the palette block of each sprite",
         fileName(o.blockMapOut, "--block-map needs a file name")},
        {"palette", 'p', "FILE",
         "match colours to this palette (512-byte file, GIMP .gpl or JASC-PAL) instead of building one; "
         "'-' for standard input",
         fileName(o.palette, "--palette needs a file name")},
        {"blocks", '\0', "MAP",
         "with -p: the block of each cell from this block map, instead of the first block "
         "holding all of the cell's colours",
         fileName(o.blocks, "--blocks needs a file name")},
        {"nearest",
         '\0',
         {},
         "with -p: a colour missing from the cell's block takes its nearest colour",
         flag(o.nearest)},
        {"indexed", '\0', "sprite",
         "take the picture's colour indices as nrbx-export --indexed sprite writes them, and its colour "
         "table as "
         "the palette",
         choice<bool>(o.spriteIndexed, "--indexed", {{"sprite", true}})},
        {"block", 'b', "N",
         "palette block 0..15 of a colour table of up to 16 colours, and of cells outside the picture "
         "(default 0)",
         number(o.block, "--block", 0, data::kPaletteBlocks - 1)},
        {"alpha-threshold", '\0', "N",
         "alpha below N (0..255) is transparent (index 0), the rest opaque; needed for pictures with partly "
         "transparent pixels",
         number(o.alphaThreshold, "--alpha-threshold", 0, 255)},
        {"pack-time", '\0', "SECONDS",
         "without -p: how long the search for a packing into 16 palette blocks may run, 0..600 (default 2; "
         "with --reduce, where a picture that does not pack is reduced instead, 0.25)",
         number(o.packSeconds, "--pack-time", 0, 600)},
        {"reduce",
         '\0',
         {},
         "without -p: reduce the colours until the picture fits (at most 16 blocks of 16); a picture "
         "that fits already is kept exactly",
         flag(o.reduce)},
        {"reduce-blocks", '\0', "N", "with --reduce: at most N palette blocks, 1..16 (default 16)",
         number(o.reduceBlocks, "--reduce-blocks", 1, data::kPaletteBlocks)},
        {"reduce-colours", '\0', "N",
         "with --reduce: at most N colours a block, 2..16, transparency included (default 16)",
         number(o.reduceColours, "--reduce-colours", 2, data::kColorsPerBlock)},
        {"dither", '\0', "none|ordered|diffusion",
         "with --reduce: no dithering (default), a fixed pattern, or error diffusion; each only picks "
         "among the colours of the cell's block",
         choice<importing::Dither>(o.dither, "--dither",
                                   {{"none", importing::Dither::None},
                                    {"ordered", importing::Dither::Ordered},
                                    {"diffusion", importing::Dither::Diffusion}})},
        {"error", '\0', "blend|rgb|oklab",
         "with --reduce: search in sRGB and finish by sRGB and OKLab together (default), or compare colours "
         "only in sRGB as the palette shows them (what PSNR measures) or only in OKLab, a perceptual space",
         choice<importing::ErrorSpace>(o.error, "--error",
                                       {{"blend", importing::ErrorSpace::Blend},
                                        {"rgb", importing::ErrorSpace::Rgb},
                                        {"oklab", importing::ErrorSpace::Oklab}})},
        {"seed", '\0', "N",
         "with --reduce: another start for the search, 0..2147483647 (default 0); the same seed gives the "
         "same files",
         number(o.seed, "--seed", 0, 2147483647)},
        {"error-map", '\0', "PNG",
         "with --reduce: write a PNG of the result (left) beside its cells coloured by their RMS error in "
         "8-bit units (right): black for none, purple at 4, red at 8, orange at 16, pale yellow at 32 and "
         "more; the strip below is that scale, ticked at 4, 8 and 16",
         fileName(o.errorMap, "--error-map needs a file name")},
        {"at", '\0', "X,Y", "the cell the picture's top-left cell goes to (default 0,0)",
         [&o, apply = cell(o.atX, o.atY, "--at")](std::string_view v) {
             o.atGiven = true;
             return apply(v);
         }},
        {"dedupe",
         '\0',
         {},
         "store identical cells (the same indices in the same block) once; the cells are then stored one "
         "after another (see --manifest)",
         flag(o.dedupe)},
        {"skip-empty",
         '\0',
         {},
         "leave fully transparent cells out; the cells are then stored one after another (see --manifest)",
         flag(o.skipEmpty)},
        {"keep-blocks", '\0', "LIST",
         "with -p: keep these palette blocks word for word (e.g. 0-7,12) and build the others anew for the "
         "colours they do not hold",
         [&o](std::string_view v) {
             o.keep = parseBlockList(v);
             return o.keep ? std::string() : badValue("--keep-blocks", v, "blocks 0..15 as in 0-7,12");
         }},
        {"manifest", '\0', "FILE",
         "write where each picture went as JSON: its cells' sprites and blocks, the palette's words, the "
         "settings",
         fileName(o.manifest, "--manifest needs a file name")},
        {"header", '\0', "FILE",
         "write a C header with each picture's first sprite and size in cells, named after its file",
         fileName(o.header, "--header needs a file name")},
        {"base", '\0', "PATTERN", "take the cells outside the picture from this pattern file (read only)",
         fileName(o.base, "--base needs a file name")},
        {"force", '\0', {}, "replace outputs that exist already", flag(o.force)},
        {"verbose",
         'v',
         {},
         "say what was done, and each palette colour that stands twice in a block; with --reduce, the "
         "PSNR and mean OKLab distance of the result against the picture",
         flag(o.verbose)},
        quietOption(o.quiet),
    };
}

// The rules a bank adds: which one-picture options it has no use for, and how pictures are placed.
std::string bankCheck(const ImportOptions& o) {
    if (o.spriteIndexed || o.blocks || o.nearest)
        return "--indexed, --blocks and --nearest take one picture alone (not with several pictures, "
               "--dedupe, --skip-empty, --keep-blocks, --manifest or --header)";
    const bool placed = std::any_of(o.pictures.begin(), o.pictures.end(),
                                    [](const PictureOperand& p) { return p.at.has_value(); });
    if (o.atGiven && (o.pictures.size() > 1 || placed))
        return "--at places one picture; give each picture its cell as PICTURE@X,Y";
    if ((o.dedupe || o.skipEmpty) && (placed || o.atGiven))
        return "--dedupe and --skip-empty store the cells one after another; a picture cannot be given a "
               "cell";
    // Every picture takes a cell at least, but with --dedupe fewer sprites than cells; the bound keeps
    // what is read in memory at once within reason.
    if (o.pictures.size() > std::size_t(data::kCellCount))
        return "at most " + std::to_string(data::kCellCount) + " pictures go into one bank";
    if (o.errorMap) return "--error-map shows one picture; it does not apply to a bank";
    if (o.keep && !o.palette) return "--keep-blocks needs -p, the palette whose blocks are kept";
    for (std::size_t i = 0; i < o.pictures.size(); ++i)
        for (std::size_t j = 0; j < i; ++j)
            if (o.pictures[i].name == o.pictures[j].name)
                return "picture '" + o.pictures[i].name +
                       "' is given twice: one picture at a time goes into "
                       "a bank";
    return {};
}

std::string crossCheck(const ImportOptions& o) {
    if (o.pictures.empty()) return "no picture given";
    if (!o.output && !o.paletteOut && !o.blockMapOut && !o.errorMap && !o.manifest && !o.header)
        return "no output given (-o, -P or --block-map)";
    if (o.bank()) {
        if (std::string error = bankCheck(o); !error.empty()) return error;
    } else if (o.pictures.front().at && o.atGiven) {
        return "the picture's cell is given twice, by --at and PICTURE@X,Y";
    }
    if (o.spriteIndexed && (o.palette || o.blocks || o.nearest))
        return "--indexed sprite takes the palette from the picture; -p, --blocks and --nearest do not apply";
    if (!o.palette && o.blocks) return "--blocks needs -p (a built palette has blocks of its own)";
    if (!o.palette && o.nearest) return "--nearest needs -p";
    if (o.spriteIndexed && o.alphaThreshold)
        return "--indexed sprite takes the picture's indices as they are; --alpha-threshold does not apply";
    // With kept blocks the others are built, and the search packs into them.
    if (o.packSeconds && ((o.palette && !o.keep) || o.spriteIndexed))
        return "--pack-time applies to a built palette only, not with -p or --indexed sprite";
    if (o.reduce && ((o.palette && !o.keep) || o.spriteIndexed))
        return "--reduce builds the palette; it does not apply with -p or --indexed sprite";
    if (!o.reduce && (o.reduceBlocks || o.reduceColours || o.dither || o.error || o.seed))
        return "--reduce-blocks, --reduce-colours, --dither, --error and --seed need --reduce";
    if (!o.reduce && o.errorMap) return "--error-map needs --reduce";
    return {};
}

}  // namespace

importing::ReduceSettings reduceSettings(const ImportOptions& o) {
    importing::ReduceSettings reduce;
    reduce.blocks = o.reduceBlocks.value_or(reduce.blocks);
    reduce.colours = o.reduceColours.value_or(reduce.colours);
    reduce.dither = o.dither.value_or(reduce.dither);
    reduce.error = o.error.value_or(reduce.error);
    reduce.seed = std::uint32_t(o.seed.value_or(0));
    if (o.packSeconds) reduce.fitTimeLimit = std::chrono::seconds(*o.packSeconds);
    return reduce;
}

PictureOperand parsePictureOperand(const std::string& text) {
    const std::size_t at = text.rfind('@');
    if (at == std::string::npos || at == 0) return {text, std::nullopt};
    const auto cell = parseCell(std::string_view(text).substr(at + 1));
    if (!cell) return {text, std::nullopt};
    return {text.substr(0, at), cell};
}

std::optional<std::array<bool, data::kPaletteBlocks>> parseBlockList(std::string_view text) {
    std::array<bool, data::kPaletteBlocks> blocks{};
    while (true) {
        const std::size_t comma = text.find(',');
        const std::string_view item = text.substr(0, comma);
        const std::size_t dash = item.find('-');
        const auto first = parseNumber(item.substr(0, dash), 0, data::kPaletteBlocks - 1);
        const auto last = dash == std::string_view::npos
                              ? first
                              : parseNumber(item.substr(dash + 1), 0, data::kPaletteBlocks - 1);
        if (!first || !last || *last < *first) return std::nullopt;
        for (int b = *first; b <= *last; ++b) blocks[b] = true;
        if (comma == std::string_view::npos) return blocks;
        text.remove_prefix(comma + 1);
    }
}

ImportCommandLine parseImportCommandLine(std::span<const std::string> args) {
    return readCommandLine<ImportCommandLine>(args, optionTable,
                                              [](ImportOptions& o, const std::vector<std::string>& operands) {
                                                  for (const std::string& operand : operands)
                                                      o.pictures.push_back(parsePictureOperand(operand));
                                                  std::string error = crossCheck(o);
                                                  if (!error.empty()) return error;
                                                  o.picture = o.pictures.front().name;
                                                  // One picture placed by its operand is placed as --at
                                                  // places it.
                                                  if (!o.bank() && o.pictures.front().at)
                                                      std::tie(o.atX, o.atY) = *o.pictures.front().at;
                                                  return error;
                                              });
}

std::string importHelpText() {
    ImportOptions unused;
    return formatHelp(
        HelpLayout{
            "Usage: nrbx-import PICTURE[@X,Y]... -o PATTERN [options]\n",
            "Converts a PNG or BMP picture (sides multiples of 16, at most 256) back into a sprite-pattern "
            "file, a palette file and a block map, exactly: exporting them again gives the same picture.\n\n"
            "Without -p the palette is built from the picture: each cell's colours (at most 16, taken to "
            "five bits a component) are packed into at most 16 blocks, by a search that finds a packing "
            "whenever one exists (see --pack-time). Blocks are numbered in the order of their first cell; "
            "inside a block, index 0 is transparent pixels if the picture has them (black), then the colours "
            "follow in ascending order of their palette word (green, red, blue).\n\n"
            "Alpha 0 is transparent; a picture with partly transparent pixels needs --alpha-threshold.\n\n"
            "With --reduce any picture fits: its colours are reduced to at most 16 blocks of 16 colours of "
            "the palette's grid, the error measured in OKLab, and alpha below 128 is transparent unless "
            "--alpha-threshold says otherwise. A picture that fits as it is keeps every colour.",
            "Several pictures make one bank: all of them in one pattern file with one palette. Each is put "
            "where PICTURE@X,Y says, else, in the order given, at the first free place, row by row, that "
            "holds it whole; with --dedupe or --skip-empty their cells are stored one after another "
            "instead. The exact conversion packs the colours of every picture's cells together, and "
            "--reduce reduces them together. One picture alone is converted as before.\n\n"
            "PICTURE may be '-' for standard input. Cells are numbered 0..15 from the top left. An existing "
            "output is replaced only with --force, and an input is never an output.\n\n"
            "Exit status: 0 when every file was written, 1 when the picture cannot be converted or a file "
            "not read or written, 2 for a usage error; then no output is created or replaced (all outputs "
            "are complete before the first is renamed into place).",
        },
        optionTable(unused));
}

}  // namespace nrbx::cli
