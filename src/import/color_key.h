#pragma once
// Colours as the palette compares them: a key per pixel, and a table from keys to values for one cell.

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "data/cell_grid.h"

namespace nrbx::importing {

// A colour as the palette stores it: five bits each of green, red, blue (the word without bit 0).
// Transparent pixels have a key of their own above every colour.
using Key = std::uint16_t;
constexpr Key kTransparent = 0x8000;

// clearBelow: alpha below it is transparent.
inline Key keyOf(const std::uint8_t* rgba, int clearBelow) {
    if (rgba[3] < clearBelow) return kTransparent;
    return Key((rgba[1] >> 3) << 10 | (rgba[0] >> 3) << 5 | (rgba[2] >> 3));
}

inline Key keyOfWord(std::uint16_t word) {
    return Key(word >> 1 & 0x7FFF);
}

inline std::uint16_t wordOfKey(Key key) {
    return key == kTransparent ? 0 : std::uint16_t(key << 1);
}

inline int distance(Key a, Key b) {
    int sum = 0;
    for (int shift = 0; shift <= 10; shift += 5) {
        const int d = (a >> shift & 31) - (b >> shift & 31);
        sum += d * d;
    }
    return sum;
}

using CellKeys = std::array<Key, data::kCellPixels>;
// A cell's colour indices into its block, row by row.
using CellIndices = std::array<std::uint8_t, data::kCellPixels>;

// "#RRGGBB", as refusals name colours.
inline std::string colorName(const std::uint8_t* rgb) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string name = "#";
    for (int i = 0; i < 3; ++i) name += {kHex[rgb[i] >> 4], kHex[rgb[i] & 15]};
    return name;
}

// A value for each of the few keys one cell has, set and read in constant time; clear() starts afresh
// without touching the 32769 slots.
class KeyTable {
  public:
    KeyTable() : m_stamp(kTransparent + 1, 0), m_value(kTransparent + 1, 0) {}
    void clear() {
        if (++m_generation == 0) {
            std::fill(m_stamp.begin(), m_stamp.end(), 0);
            m_generation = 1;
        }
    }
    bool has(Key k) const { return m_stamp[k] == m_generation; }
    void set(Key k, std::uint8_t value) {
        m_stamp[k] = m_generation;
        m_value[k] = value;
    }
    std::uint8_t operator[](Key k) const { return m_value[k]; }

    // The distinct keys, ascending (transparency last).
    std::vector<Key> distinct(std::span<const Key> keys) {
        clear();
        std::vector<Key> found;
        for (Key k : keys) {
            if (has(k)) continue;
            set(k, 0);
            found.push_back(k);
        }
        std::sort(found.begin(), found.end());
        return found;
    }

  private:
    std::vector<std::uint16_t> m_stamp;
    std::vector<std::uint8_t> m_value;
    std::uint16_t m_generation = 0;
};

}  // namespace nrbx::importing
