#pragma once
// The sprite-pattern file: 256 sprites of 128 bytes, decoded into the cell grid.

#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "data/cell_grid.h"

namespace nrbx::data {

constexpr std::size_t kSpriteBytes = 128;
constexpr std::size_t kPatternBytes = kSpriteBytes * kCellCount;

struct PatternState {
    std::array<std::uint8_t, kPatternBytes> buffer{};  // raw file bytes; loads overwrite only what they read
    CellGrid grid;                                     // colour indices of the whole picture
};

const PatternState& patternState();
void resetPatternState();
// Puts a whole grid of colour indices in place, as a decode would; the buffer stays as it is.
void setPatternGrid(const CellGrid& grid);
// Grid cells x0..x1 x y0..y1 receive the cells of source from (sx, sy) on; a cell is left as it is
// where it or its source cell lies outside the picture.
void copyCells(const CellGrid& source, int x0, int y0, int x1, int y1, int sx, int sy);

// Reads min(size, 32768) bytes into the start of the pattern buffer. On any failure the buffer is as before.
void ReadPatternFile(const std::string& path);
// The same from bytes read elsewhere (standard input): the first 32768 of them, the rest of the buffer kept.
void LoadPatternBytes(std::span<const std::uint8_t> bytes);
// Rebuilds every grid entry from the whole pattern buffer.
void DecodePatterns();
// The inverse of decoding for one sprite: its 128 bytes from its 16 x 16 colour indices 0..15, row by row.
void encodeSprite(std::span<const std::uint8_t, kCellPixels> indices,
                  std::span<std::uint8_t, kSpriteBytes> sprite);

}  // namespace nrbx::data
