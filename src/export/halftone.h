#pragma once
// The fixed colour tables of the indexed exports, and nearest-colour matching against them.

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "data/palette.h"

namespace nrbx::exporting {

// Black, maroon, green, olive, navy, purple, teal, grey, silver, red, lime, yellow, blue, fuchsia, aqua,
// white.
const std::array<data::Rgb, 16>& sixteenColorPalette();

// A general-purpose 256-colour palette: the 16 colours above, the rest of a 6x6x6 colour cube, then greys.
// All entries differ.
const std::array<data::Rgb, 256>& halftonePalette();

// Index of the table colour nearest to a colour by squared RGB distance, the lowest index on a tie.
// Remembers every colour it has matched: a picture holds few distinct colours.
class NearestColorMap {
  public:
    explicit NearestColorMap(std::span<const data::Rgb> table);
    std::uint8_t operator()(data::Rgb color);

  private:
    std::uint8_t search(data::Rgb color) const;

    std::span<const data::Rgb> m_table;
    bool m_vector;  // the vector search, unless the plain one is forced
    // The table again, as the vector search reads it: red | green << 16, and blue, per entry.
    std::vector<std::uint32_t> m_redGreen;
    std::vector<std::uint32_t> m_blue;
    std::vector<std::uint32_t> m_keys;  // colour + 1 (0: empty slot)
    std::vector<std::uint8_t> m_values;
    std::size_t m_used = 0;
    std::uint32_t m_lastKey = 0;
    std::uint8_t m_lastValue = 0;
};

}  // namespace nrbx::exporting
