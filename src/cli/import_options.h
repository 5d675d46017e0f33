#pragma once
// nrbx-import's command line: what it asks for, and how the arguments are read into it.

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "import/reduce.h"

namespace nrbx::cli {

struct ImportOptions {
    std::string picture;                     // "-": standard input
    std::optional<std::string> output;       // -o: the pattern file; "-": standard output
    std::optional<std::string> paletteOut;   // -P: the 512-byte palette file
    std::optional<std::string> blockMapOut;  // --block-map
    std::optional<std::string> errorMap;     // --error-map: with --reduce, the result beside its error
    std::optional<std::string> palette;      // -p: match colours against it
    std::optional<std::string> blocks;       // --blocks: the block of each cell, with -p
    std::optional<std::string> base;         // --base: cells outside the picture
    bool spriteIndexed = false;
    bool nearest = false;
    int block = 0;
    std::optional<int> alphaThreshold;  // --alpha-threshold: alpha below it is transparent
    std::optional<int> packSeconds;     // --pack-time: the packing search's limit
    bool reduce = false;                // --reduce: colours reduced until the picture fits
    std::optional<int> reduceBlocks;    // --reduce-blocks
    std::optional<int> reduceColours;   // --reduce-colours
    std::optional<importing::Dither> dither;
    std::optional<importing::ErrorSpace> error;  // --error
    std::optional<int> seed;
    int atX = 0;
    int atY = 0;
    bool force = false;
    bool verbose = false;
    bool quiet = false;
};

struct ImportCommandLine {
    enum class Action { Import, Help, Version, UsageError };
    Action action = Action::Import;
    ImportOptions options;
    std::string error;  // one line, for Action::UsageError
};

// The arguments after the program name (see cli/option_table.h), then the rules between options.
ImportCommandLine parseImportCommandLine(std::span<const std::string> args);

std::string importHelpText();

}  // namespace nrbx::cli
