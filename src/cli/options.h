#pragma once
// The converter's command line: what it asks for, and how the arguments are read into it.

#include <array>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "data/cell_grid.h"

namespace nrbx::cli {

enum class Format { Bmp, Png };
// Nearest: the window's conversion to a fixed table. Sprite: the sprite palette with exact indices.
enum class Indexing { Nearest, Sprite };

const char* toString(Format format);
const char* toString(Indexing indexing);

// Two corner cells as given, in any order.
struct CellRange {
    int x0 = 0;
    int y0 = 0;
    int x1 = 0;
    int y1 = 0;
    bool operator==(const CellRange&) const = default;
};

struct CellsBlock {
    CellRange cells;
    int block = 0;
    bool operator==(const CellsBlock&) const = default;
};

struct Options {
    std::vector<std::string> patterns;
    std::optional<std::string> palette;  // absent: the built-in default palette
    int block = 0;
    std::vector<CellsBlock> cells;    // applied in order after the whole render
    std::optional<CellRange> select;  // absent: the whole picture
    int depth = 24;
    std::optional<Format> format;  // absent: from the output name, else BMP
    Indexing indexing = Indexing::Nearest;
    std::optional<std::string> output;
    std::optional<std::string> outputDir;
    bool verbose = false;
};

enum class Action { Convert, Help, Version, UsageError };

struct CommandLine {
    Action action = Action::Convert;
    Options options;
    std::string error;  // one line, for Action::UsageError
};

// The arguments after the program name. Options and file names may come in any order; "--" ends options.
// A value may follow its option as the next argument, or as "--name=value" and "-xvalue".
CommandLine parseCommandLine(std::span<const std::string> args);

std::string helpText();
// The version value formatted as the about window shows it (two decimals).
std::string versionText();

using CellBlocks = std::array<std::array<int, data::kCellsPerSide>, data::kCellsPerSide>;  // [cy][cx]
// The block each cell is rendered with once --block and every --cells are applied.
CellBlocks plannedCellBlocks(const Options& options);

}  // namespace nrbx::cli
