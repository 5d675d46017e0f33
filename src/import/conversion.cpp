#include "import/conversion.h"

#include <algorithm>
#include <set>
#include <utility>

#include "data/cell_grid.h"
#include "platform/failure.h"

namespace nrbx::importing {

namespace {

using data::kCellSize;
using data::kCellsPerSide;

// A colour as the palette stores it: five bits each of green, red, blue (the word without bit 0).
// Fully transparent pixels have a key of their own above every colour.
using Key = std::uint16_t;
constexpr Key kTransparent = 0x8000;

Key keyOf(const std::uint8_t* rgba) {
    if (rgba[3] == 0) return kTransparent;
    return Key((rgba[1] >> 3) << 10 | (rgba[0] >> 3) << 5 | (rgba[2] >> 3));
}

Key keyOfWord(std::uint16_t word) {
    return Key(word >> 1 & 0x7FFF);
}

int distance(Key a, Key b) {
    int sum = 0;
    for (int shift = 0; shift <= 10; shift += 5) {
        const int d = (a >> shift & 31) - (b >> shift & 31);
        sum += d * d;
    }
    return sum;
}

using CellIndices = std::array<std::uint8_t, kCellSize * kCellSize>;

platform::Failure cannotImport(const std::string& why) {
    return platform::Failure(platform::FailureKind::Other, why);
}

std::string cellName(int cx, int cy) {
    return "cell " + std::to_string(cx) + "," + std::to_string(cy);
}

// Sprite n is cell (n mod 16, n div 16): 128 bytes, rows 0..15 of the left 8 pixels, then of the right
// 8, two pixels a byte with the left one high.
void encodeCell(PatternBytes& pattern, int cx, int cy, const CellIndices& cell) {
    std::uint8_t* sprite = pattern.data() + (cy * kCellsPerSide + cx) * 128;
    for (int r = 0; r < kCellSize; ++r) {
        for (int b = 0; b < 4; ++b) {
            sprite[r * 4 + b] = std::uint8_t(cell[r * 16 + 2 * b] << 4 | cell[r * 16 + 2 * b + 1]);
            sprite[64 + r * 4 + b] = std::uint8_t(cell[r * 16 + 8 + 2 * b] << 4 | cell[r * 16 + 9 + 2 * b]);
        }
    }
}

// The picture's cells with where they land in the sprite picture.
class Cells {
  public:
    Cells(const Picture& picture, const ImportSettings& settings)
        : m_picture(picture), m_settings(settings) {}
    int columns() const { return m_picture.width / kCellSize; }
    int rows() const { return m_picture.height / kCellSize; }
    int spriteX(int px) const { return m_settings.atX + px; }
    int spriteY(int py) const { return m_settings.atY + py; }
    int sprite(int px, int py) const { return spriteY(py) * kCellsPerSide + spriteX(px); }
    std::string name(int px, int py) const { return cellName(spriteX(px), spriteY(py)); }

    // The 256 pixels of picture cell (px, py), row by row.
    template <class F>
    void forEachPixel(int px, int py, F&& f) const {
        for (int r = 0; r < kCellSize; ++r) {
            const std::size_t row = std::size_t(py * kCellSize + r) * m_picture.width + px * kCellSize;
            for (int c = 0; c < kCellSize; ++c) f(r * kCellSize + c, row + c);
        }
    }
    std::array<Key, 256> keys(int px, int py) const {
        std::array<Key, 256> keys;
        forEachPixel(px, py, [&](int i, std::size_t at) { keys[i] = keyOf(m_picture.rgba.data() + at * 4); });
        return keys;
    }
    // The picture's own colour of the first pixel of that key, for messages.
    std::string colorOf(int px, int py, Key key) const {
        std::string found;
        forEachPixel(px, py, [&](int, std::size_t at) {
            if (found.empty() && keyOf(m_picture.rgba.data() + at * 4) == key)
                found = colorName(m_picture.rgba.data() + at * 4);
        });
        return found;
    }

  private:
    const Picture& m_picture;
    const ImportSettings& m_settings;
};

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
    std::vector<Key> distinct(const std::array<Key, 256>& keys) {
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

// --indexed sprite: the picture's indices are the pattern's, its table the palette.
void importIndices(const Picture& picture, const Cells& cells, const ImportSettings& settings,
                   ImportResult& result, const std::string& name) {
    if (!picture.indexed) {
        throw cannotImport(
            "picture " + name +
            " has no colour table; --indexed sprite takes an indexed PNG or an 8- or 4-bit BMP");
    }
    const bool wide = picture.table.size() > 16;
    for (std::size_t k = 0; k < picture.table.size(); ++k) {
        const int entry = wide ? int(k) : settings.block * 16 + int(k);
        result.palette.setWord(entry, data::wordFromColor(picture.table[k]));
    }
    for (int py = 0; py < cells.rows(); ++py) {
        for (int px = 0; px < cells.columns(); ++px) {
            CellIndices cell;
            int block = wide ? -1 : settings.block;
            cells.forEachPixel(px, py, [&](int i, std::size_t at) {
                const int v = picture.indices[at];
                cell[i] = std::uint8_t(v % 16);
                if (!wide) return;
                if (block < 0) block = v / 16;
                if (v / 16 != block) {
                    throw cannotImport(cells.name(px, py) + " mixes palette blocks " + std::to_string(block) +
                                       " and " + std::to_string(v / 16) + "; a sprite has one block");
                }
            });
            encodeCell(result.pattern, cells.spriteX(px), cells.spriteY(py), cell);
            result.blockMap[cells.sprite(px, py)] = std::uint8_t(block);
        }
    }
}

// The colours of one palette block, looked up by key.
struct PaletteBlock {
    std::array<Key, 16> keys;
    int find(Key key) const {
        for (int i = 0; i < 16; ++i)
            if (keys[i] == key) return i;
        return -1;
    }
    int nearest(Key key) const {
        int best = 0;
        for (int i = 1; i < 16; ++i)
            if (distance(keys[i], key) < distance(keys[best], key)) best = i;
        return best;
    }
};

// -p: every colour found in the cell's block, compared as the palette stores it.
void importByPalette(const Cells& cells, const ImportSettings& settings, ImportResult& result) {
    result.palette = *settings.palette;
    std::array<PaletteBlock, 16> blocks;
    for (int k = 0; k < data::kPaletteEntries; ++k)
        blocks[k / 16].keys[k % 16] = keyOfWord(result.palette.word(k));
    std::set<std::pair<int, Key>> noted;
    KeyTable table;

    for (int py = 0; py < cells.rows(); ++py) {
        for (int px = 0; px < cells.columns(); ++px) {
            const std::array<Key, 256> keys = cells.keys(px, py);
            std::vector<Key> colors = table.distinct(keys);
            if (!colors.empty() && colors.back() == kTransparent) colors.pop_back();
            const auto holdsAll = [&](int b) {
                return std::all_of(colors.begin(), colors.end(),
                                   [&](Key k) { return blocks[b].find(k) >= 0; });
            };
            int block = -1;
            if (settings.blocks) {
                block = (*settings.blocks)[cells.sprite(px, py)];
            } else {
                for (int b = 0; b < 16 && block < 0; ++b)
                    if (holdsAll(b)) block = b;
            }
            if (block < 0 && settings.nearest) {
                // The block whose nearest colours are closest to the cell's, each weighed by its pixels.
                table.clear();
                for (std::size_t i = 0; i < colors.size(); ++i) table.set(colors[i], std::uint8_t(i));
                std::vector<long> pixels(colors.size());
                for (Key k : keys)
                    if (k != kTransparent) ++pixels[table[k]];
                long bestError = -1;
                for (int b = 0; b < 16; ++b) {
                    long error = 0;
                    for (std::size_t i = 0; i < colors.size(); ++i)
                        error +=
                            pixels[i] * distance(blocks[b].keys[blocks[b].nearest(colors[i])], colors[i]);
                    if (bestError < 0 || error < bestError) bestError = error, block = b;
                }
            }
            if (block < 0) {
                for (Key k : colors) {
                    if (std::none_of(blocks.begin(), blocks.end(),
                                     [&](const PaletteBlock& b) { return b.find(k) >= 0; }))
                        throw cannotImport(cells.name(px, py) + ": colour " + cells.colorOf(px, py, k) +
                                           " is not in the palette");
                }
                int most = 0;
                std::size_t mostCount = 0;
                for (int b = 0; b < 16; ++b) {
                    const auto n = std::size_t(std::count_if(colors.begin(), colors.end(),
                                                             [&](Key k) { return blocks[b].find(k) >= 0; }));
                    if (n > mostCount) most = b, mostCount = n;
                }
                const Key missing = *std::find_if(colors.begin(), colors.end(),
                                                  [&](Key k) { return blocks[most].find(k) < 0; });
                throw cannotImport(
                    cells.name(px, py) + ": no palette block holds all of its colours; block " +
                    std::to_string(most) + ", which holds the most, lacks " + cells.colorOf(px, py, missing));
            }

            const PaletteBlock& chosen = blocks[block];
            table.clear();
            table.set(kTransparent, 0);
            for (Key k : colors) {
                const int i = chosen.find(k);
                table.set(k, std::uint8_t(i >= 0 ? i : chosen.nearest(k)));
                if (i < 0 && !settings.nearest) {
                    throw cannotImport(cells.name(px, py) + ": colour " + cells.colorOf(px, py, k) +
                                       " is not in palette block " + std::to_string(block));
                }
                if (i >= 0 &&
                    std::find(chosen.keys.begin() + i + 1, chosen.keys.end(), k) != chosen.keys.end() &&
                    noted.insert({block, k}).second) {
                    result.notes.push_back("palette block " + std::to_string(block) + " holds " +
                                           cells.colorOf(px, py, k) + " more than once; index " +
                                           std::to_string(i) + " is used");
                }
            }
            CellIndices cell;
            for (int i = 0; i < 256; ++i) cell[i] = table[keys[i]];
            encodeCell(result.pattern, cells.spriteX(px), cells.spriteY(py), cell);
            result.blockMap[cells.sprite(px, py)] = std::uint8_t(block);
        }
    }
}

// No palette: each cell's colours, packed into as few blocks as the greedy packing below finds.
void importBuildingPalette(const Cells& cells, ImportResult& result) {
    const int count = cells.columns() * cells.rows();
    std::vector<std::array<Key, 256>> keys(count);
    std::vector<std::vector<Key>> sets(count);
    KeyTable table;
    for (int py = 0; py < cells.rows(); ++py) {
        for (int px = 0; px < cells.columns(); ++px) {
            const int c = py * cells.columns() + px;
            keys[c] = cells.keys(px, py);
            sets[c] = table.distinct(keys[c]);
            if (sets[c].size() > 16) {
                const bool clear = sets[c].back() == kTransparent;
                throw cannotImport(cells.name(px, py) + " has " + std::to_string(sets[c].size()) +
                                   " colours" + (clear ? " (fully transparent pixels count as one)" : "") +
                                   "; a sprite has at most 16");
            }
        }
    }

    // Largest sets first, each into the block it grows least (best fit), so a set that another holds
    // costs nothing. Finding the fewest blocks is a hard problem; this is good for sprite pictures.
    std::vector<int> order(count);
    for (int c = 0; c < count; ++c) order[c] = c;
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return sets[a].size() > sets[b].size(); });
    std::vector<std::vector<Key>> packed;
    std::vector<int> firstCell;
    for (int c : order) {
        int best = -1;
        std::size_t bestSize = 0;
        for (std::size_t b = 0; b < packed.size(); ++b) {
            std::vector<Key> merged;
            std::set_union(packed[b].begin(), packed[b].end(), sets[c].begin(), sets[c].end(),
                           std::back_inserter(merged));
            if (merged.size() <= 16 && (best < 0 || merged.size() - packed[b].size() < bestSize))
                best = int(b), bestSize = merged.size() - packed[b].size();
        }
        if (best < 0) {
            packed.push_back(sets[c]);
            firstCell.push_back(c);
            continue;
        }
        std::vector<Key> merged;
        std::set_union(packed[best].begin(), packed[best].end(), sets[c].begin(), sets[c].end(),
                       std::back_inserter(merged));
        packed[best] = std::move(merged);
        firstCell[best] = std::min(firstCell[best], c);
    }
    if (packed.size() > 16) {
        throw cannotImport("the picture's cells need " + std::to_string(packed.size()) +
                           " palette blocks of 16 colours; a palette has 16");
    }
    // Blocks numbered in the order their first cell comes in the picture.
    std::vector<int> byFirst(packed.size());
    for (std::size_t b = 0; b < packed.size(); ++b) byFirst[b] = int(b);
    std::sort(byFirst.begin(), byFirst.end(), [&](int a, int b) { return firstCell[a] < firstCell[b]; });

    std::array<PaletteBlock, 16> blocks{};
    for (std::size_t n = 0; n < byFirst.size(); ++n) {
        // Transparency (sorted last) becomes index 0, black; the colours follow in ascending word order.
        std::vector<Key> colors = packed[byFirst[n]];
        if (colors.back() == kTransparent) colors.insert(colors.begin(), kTransparent), colors.pop_back();
        blocks[n].keys.fill(0xFFFF);
        for (std::size_t i = 0; i < colors.size(); ++i) {
            blocks[n].keys[i] = colors[i];
            result.palette.setWord(int(n * 16 + i),
                                   colors[i] == kTransparent ? 0 : std::uint16_t(colors[i] << 1));
        }
    }
    for (int py = 0; py < cells.rows(); ++py) {
        for (int px = 0; px < cells.columns(); ++px) {
            const int c = py * cells.columns() + px;
            std::size_t block = 0;
            while (!std::all_of(sets[c].begin(), sets[c].end(),
                                [&](Key k) { return blocks[block].find(k) >= 0; }))
                ++block;
            table.clear();
            for (Key k : sets[c]) table.set(k, std::uint8_t(blocks[block].find(k)));
            CellIndices cell;
            for (int i = 0; i < 256; ++i) cell[i] = table[keys[c][i]];
            encodeCell(result.pattern, cells.spriteX(px), cells.spriteY(py), cell);
            result.blockMap[cells.sprite(px, py)] = std::uint8_t(block);
        }
    }
}

}  // namespace

std::string colorName(const std::uint8_t* rgb) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string name = "#";
    for (int i = 0; i < 3; ++i) name += {kHex[rgb[i] >> 4], kHex[rgb[i] & 15]};
    return name;
}

ImportResult importPicture(const Picture& picture, const ImportSettings& settings, const PatternBytes& base,
                           const std::string& name) {
    if (picture.width % kCellSize != 0 || picture.height % kCellSize != 0 || picture.width == 0 ||
        picture.height == 0) {
        throw cannotImport("picture " + name + " is " + std::to_string(picture.width) + " x " +
                           std::to_string(picture.height) + " pixels; both sides must be multiples of 16");
    }
    const Cells cells(picture, settings);
    if (settings.atX < 0 || settings.atY < 0 || settings.atX + cells.columns() > kCellsPerSide ||
        settings.atY + cells.rows() > kCellsPerSide) {
        throw cannotImport("picture " + name + " of " + std::to_string(cells.columns()) + " x " +
                           std::to_string(cells.rows()) + " cells put at cell " +
                           std::to_string(settings.atX) + "," + std::to_string(settings.atY) +
                           " reaches past cell 15");
    }
    ImportResult result;
    result.pattern = base;
    for (std::size_t n = 0; n < data::kBlockMapBytes; ++n)
        result.blockMap[n] = settings.blocks ? (*settings.blocks)[n] : std::uint8_t(settings.block);
    if (settings.spriteIndexed) {
        importIndices(picture, cells, settings, result, name);
    } else if (settings.palette) {
        importByPalette(cells, settings, result);
    } else {
        importBuildingPalette(cells, result);
    }
    return result;
}

}  // namespace nrbx::importing
