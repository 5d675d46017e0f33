#pragma once
// Colour reduction: any picture into at most N palette blocks of at most M colours of the palette's
// five-bit grid, each cell using one block, with the squared error measured in sRGB as the palette
// shows it (what PSNR measures) or in OKLab (import/error_space.h), or searched in sRGB and finished by
// both (import/blend_polish.h).

#include <array>
#include <chrono>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "data/palette.h"
#include "import/error_space.h"
#include "import/picture.h"

namespace nrbx::importing {

enum class Dither { None, Ordered, Diffusion };
std::string_view toString(Dither dither);

// Without --alpha-threshold the reduction takes alpha below this as transparent.
constexpr int kDefaultAlphaThreshold = 128;
// How long the search for a packing of the picture as it is may run before it is reduced instead.
constexpr std::chrono::milliseconds kExactFitTimeLimit{250};

// A palette block given whole: it keeps its words and their order, and cells may take it.
struct KeptBlock {
    int number = 0;  // 0..15
    std::array<std::uint16_t, data::kColorsPerBlock> words{};
};

struct ReduceSettings {
    int blocks = data::kPaletteBlocks;    // 1..16
    int colours = data::kColorsPerBlock;  // 2..16 a block, index 0 included when it is transparency
    Dither dither = Dither::None;
    // Where colours are compared: sRGB (what PSNR measures), OKLab (perceptual), or the blend of both
    // (the default: nearly sRGB's PSNR, most of OKLab's look).
    ErrorSpace error = ErrorSpace::Blend;
    std::uint32_t seed = 0;
    int alphaThreshold = kDefaultAlphaThreshold;  // 0..255: alpha below it is transparent
    std::chrono::milliseconds fitTimeLimit = kExactFitTimeLimit;
    // Blocks that keep their words exactly, at their numbers (each number once); cells may take them and
    // the search fits only the other blocks, which take the other numbers, lowest first. `blocks` counts
    // both. With any transparent pixel, index 0 of a kept block is transparency, as in every block. With
    // kept blocks the pictures are always reduced: the exact build does not know them.
    std::vector<KeptBlock> kept;
};

// One picture's part of a reduction.
struct ReducedPicture {
    int columns = 0;  // cells across and down
    int rows = 0;
    // One a pixel of the whole cells, row by row: the index into its cell's block; 0 when transparent.
    std::vector<std::uint8_t> indices;
    // One a cell, row by row: its block.
    std::vector<std::uint8_t> blockOfCell;
};

using BlockWords = std::array<std::array<std::uint16_t, data::kColorsPerBlock>, data::kPaletteBlocks>;

struct Reduction {
    std::vector<ReducedPicture> pictures;  // in the order given
    // The palette words of each block, ascending. When any picture has transparent pixels, index 0 of
    // every block is kept for them (word 0). Entries a block does not use are 0. Blocks are numbered in
    // the order of their first cell, the pictures' cells taken in turn; kept blocks as given, at their
    // numbers, and the others at the numbers left.
    BlockWords words{};
    int blocksUsed = 0;  // blocks 0..blocksUsed-1 are written (kept blocks included)
    // Pixels with alpha 1..254, each taken as transparent or opaque by the threshold.
    long roundedAlpha = 0;
    // The pictures fitted as they were: every pixel has its own colour, the word it was widened from
    // when every colour is a widened five-bit word (v * 8, or v * 8 + v / 4), else its nearest level.
    bool exact = false;
};

// Pictures that fit the limits together as they are (import/palette_build.h) come back exactly: when
// every opaque colour is a widened five-bit word, with the words the exact import gives (so nrbx's own
// exports come back byte for byte), else with each colour's nearest level, as the output shows it. Any
// others are clustered together in two levels (import/cluster_search.h), so that pictures share blocks
// where that serves; blocks are chosen before any dithering (import/pixel_mapping.h), which then only
// picks among the cell's block. Whole cells of each picture only (its sides are multiples of 16 where
// the import calls it). The same pictures and settings always give the same result.
Reduction reduceColours(std::span<const Picture> pictures, const ReduceSettings& settings);

}  // namespace nrbx::importing
