#pragma once
// Pixel access and picture set-up for the canvas tests.

#include <array>
#include <cstdint>

#include "canvas/images.h"
#include "data/palette.h"
#include "data/pattern.h"

namespace nrbx::testing {

using Bgr = std::array<std::uint8_t, 3>;

inline Bgr pixelOf(const canvas::Image24& image, int x, int y) {
    const std::uint8_t* p = image.pixel(x, y);
    return {p[0], p[1], p[2]};
}

inline constexpr Bgr kBlack{0, 0, 0};
inline constexpr Bgr kBlue{0xFF, 0, 0};
inline constexpr Bgr kWhite{0xFF, 0xFF, 0xFF};

// Cell (cx, cy) filled with one colour index.
inline void fillCell(int cx, int cy, std::uint8_t index) {
    data::CellGrid grid = data::patternState().grid;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) grid(cx * 16 + x, cy * 16 + y) = index;
    data::setPatternGrid(grid);
}

// A palette whose entry k is a colour of its own (block in red, index in green), so every pixel tells
// which block and index produced it.
inline void useTellingPalette() {
    data::PaletteTable table;
    for (int k = 0; k < 256; ++k)
        table[k] =
            data::Rgb{static_cast<std::uint8_t>((k / 16) * 16), static_cast<std::uint8_t>((k % 16) * 16), 8};
    data::setPaletteTable(table);
}

inline Bgr tellingColor(int block, int index) {
    return {8, static_cast<std::uint8_t>(index * 16), static_cast<std::uint8_t>(block * 16)};
}

}  // namespace nrbx::testing
