#include "cli/import_options.h"

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
        {"error", '\0', "rgb|oklab",
         "with --reduce: compare colours in sRGB as the palette shows them (default; what PSNR measures) or "
         "in OKLab, a perceptual space",
         choice<importing::ErrorSpace>(
             o.error, "--error",
             {{"rgb", importing::ErrorSpace::Rgb}, {"oklab", importing::ErrorSpace::Oklab}})},
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
         cell(o.atX, o.atY, "--at")},
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

std::string crossCheck(const ImportOptions& o, std::size_t pictures) {
    if (pictures == 0) return "no picture given";
    if (pictures > 1) return "one picture at a time";
    if (!o.output && !o.paletteOut && !o.blockMapOut && !o.errorMap)
        return "no output given (-o, -P or --block-map)";
    if (o.spriteIndexed && (o.palette || o.blocks || o.nearest))
        return "--indexed sprite takes the palette from the picture; -p, --blocks and --nearest do not apply";
    if (!o.palette && o.blocks) return "--blocks needs -p (a built palette has blocks of its own)";
    if (!o.palette && o.nearest) return "--nearest needs -p";
    if (o.spriteIndexed && o.alphaThreshold)
        return "--indexed sprite takes the picture's indices as they are; --alpha-threshold does not apply";
    if (o.packSeconds && (o.palette || o.spriteIndexed))
        return "--pack-time applies to a built palette only, not with -p or --indexed sprite";
    if (o.reduce && (o.palette || o.spriteIndexed))
        return "--reduce builds the palette; it does not apply with -p or --indexed sprite";
    if (!o.reduce && (o.reduceBlocks || o.reduceColours || o.dither || o.error || o.seed))
        return "--reduce-blocks, --reduce-colours, --dither, --error and --seed need --reduce";
    if (!o.reduce && o.errorMap) return "--error-map needs --reduce";
    return {};
}

}  // namespace

ImportCommandLine parseImportCommandLine(std::span<const std::string> args) {
    return readCommandLine<ImportCommandLine>(args, optionTable,
                                              [](ImportOptions& o, const std::vector<std::string>& operands) {
                                                  std::string error = crossCheck(o, operands.size());
                                                  if (error.empty()) o.picture = operands.front();
                                                  return error;
                                              });
}

std::string importHelpText() {
    ImportOptions unused;
    return formatHelp(
        HelpLayout{
            "Usage: nrbx-import PICTURE -o PATTERN [options]\n",
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
            "PICTURE may be '-' for standard input. Cells are numbered 0..15 from the top left. An existing "
            "output is replaced only with --force, and an input is never an output.\n\n"
            "Exit status: 0 when every file was written, 1 when the picture cannot be converted or a file "
            "not read or written, 2 for a usage error; then no output is created or replaced (all outputs "
            "are complete before the first is renamed into place).",
        },
        optionTable(unused));
}

}  // namespace nrbx::cli
