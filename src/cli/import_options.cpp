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
        {"at", '\0', "X,Y", "the cell the picture's top-left cell goes to (default 0,0)",
         cell(o.atX, o.atY, "--at")},
        {"base", '\0', "PATTERN", "take the cells outside the picture from this pattern file (read only)",
         fileName(o.base, "--base needs a file name")},
        {"force", '\0', {}, "replace outputs that exist already", flag(o.force)},
        {"verbose",
         'v',
         {},
         "say what was done, and each palette colour that stands twice in a block",
         flag(o.verbose)},
        quietOption(o.quiet),
    };
}

std::string crossCheck(const ImportOptions& o, std::size_t pictures) {
    if (pictures == 0) return "no picture given";
    if (pictures > 1) return "one picture at a time";
    if (!o.output && !o.paletteOut && !o.blockMapOut) return "no output given (-o, -P or --block-map)";
    if (o.spriteIndexed && (o.palette || o.blocks || o.nearest))
        return "--indexed sprite takes the palette from the picture; -p, --blocks and --nearest do not apply";
    if (!o.palette && o.blocks) return "--blocks needs -p (a built palette has blocks of its own)";
    if (!o.palette && o.nearest) return "--nearest needs -p";
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
            "five "
            "bits a component) are packed into at most 16 blocks. Blocks are numbered in the order of their "
            "first cell; inside a block, index 0 is fully transparent pixels if any of its cells has them "
            "(black), then the colours follow in ascending order of their palette word (green, red, blue).",
            "PICTURE may be '-' for standard input. Cells are numbered 0..15 from the top left. An existing "
            "output is replaced only with --force, and an input is never an output.\n\n"
            "Exit status: 0 when every file was written, 1 when the picture cannot be converted or a file "
            "not read or written, 2 for a usage error; then nothing is written.",
        },
        optionTable(unused));
}

}  // namespace nrbx::cli
