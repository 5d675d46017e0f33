#pragma once
// nrbx-import's command line: what it asks for, and how the arguments are read into it.

#include <array>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "data/palette.h"
#include "import/reduce.h"

namespace nrbx::cli {

// A picture as given on the command line: "NAME" or "NAME@X,Y" with the cell its top-left cell goes to.
struct PictureOperand {
    std::string name;
    std::optional<std::pair<int, int>> at;
};

struct ImportOptions {
    std::string picture;                     // the first picture; "-": standard input
    std::vector<PictureOperand> pictures;    // every picture, in the order given
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
    bool atGiven = false;
    // A bank's options (several pictures in one pattern file).
    bool dedupe = false;                                         // identical cells stored once
    bool skipEmpty = false;                                      // fully transparent cells left out
    std::optional<std::array<bool, data::kPaletteBlocks>> keep;  // --keep-blocks, with -p
    std::optional<std::string> manifest;                         // --manifest FILE.json
    std::optional<std::string> header;                           // --header FILE.h
    bool force = false;
    bool verbose = false;
    bool quiet = false;

    // More than one picture, or an option only a bank has: the pictures go through the bank's import.
    bool bank() const { return pictures.size() > 1 || dedupe || skipEmpty || keep || manifest || header; }
};

// The reduction's settings as --reduce-blocks, --reduce-colours, --dither, --error, --seed and
// --pack-time give them; the alpha threshold is the import's to set.
importing::ReduceSettings reduceSettings(const ImportOptions& options);

// "NAME@X,Y" split into name and cell (0..15 each); any other text is a name as it stands.
PictureOperand parsePictureOperand(const std::string& text);
// "0-7,12", blocks 0..15 in ranges and single numbers; nothing for anything else.
std::optional<std::array<bool, data::kPaletteBlocks>> parseBlockList(std::string_view text);

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
