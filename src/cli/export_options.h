#pragma once
// nrbx-export's command line: what it asks for, and how the arguments are read into it.

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "canvas/images.h"
#include "data/palette_formats.h"
#include "export/sprite_indexed.h"

namespace nrbx::cli {

enum class Format { Bmp, Png };
// Nearest: the window's conversion to a fixed table. Sprite: the sprite palette with exact indices.
enum class Indexing { Nearest, Sprite };

const char* toString(Format format);
const char* toString(Indexing indexing);

struct Options {
    std::vector<std::string> patterns;   // "-": standard input
    std::optional<std::string> palette;  // absent: the built-in default palette
    int block = 0;
    std::vector<exporting::CellsBlock> cells;  // applied in order after the whole render
    std::optional<canvas::CellRect> select;    // absent: the whole picture
    int depth = 24;
    std::optional<Format> format;  // absent: from the output name, else BMP
    Indexing indexing = Indexing::Nearest;
    std::optional<std::string> output;  // "-": standard output
    std::optional<std::string> outputDir;
    bool verbose = false;
    bool quiet = false;
    bool transparent = false;               // colour index 0 transparent (PNG only)
    int scale = 1;                          // every pixel as scale x scale
    bool split = false;                     // one 16x16 file per written cell
    std::optional<std::string> blockMap;    // per-sprite blocks, applied after block and before cells
    std::optional<std::string> paletteOut;  // the palette table written in paletteFormat; "-": stdout
    std::optional<data::PaletteFormat> paletteFormat;  // absent: .gpl names GIMP, else the binary file
    bool force = false;                                // paletteOut may replace an existing file
};

enum class Action { Convert, Help, Version, UsageError };

struct CommandLine {
    Action action = Action::Convert;
    Options options;
    std::string error;  // one line, for Action::UsageError
};

// The arguments after the program name, read as getopt_long reads them (see cli/option_table.h), then
// the rules between options. Cell rectangles are stored with their corners ordered.
CommandLine parseCommandLine(std::span<const std::string> args);

std::string helpText();
std::string versionText();

// The one choice of a picture's format: --format, else the extension of the output name (.png, any
// case), else BMP.
Format formatFor(const Options& options, const std::string& outputName);

// --palette-format, else GIMP for a name ending in .gpl (any case), else the binary file.
data::PaletteFormat paletteFormatFor(const Options& options);

// The cells written: the selection, or the whole picture.
canvas::CellRect writtenCells(const Options& options);

}  // namespace nrbx::cli
