// The conversion: every pixel comes back as its colour through pattern, palette and block map.

#include "import/conversion.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <numeric>
#include <random>

#include "platform/failure.h"

namespace nrbx::importing {
namespace {

using Rgba = std::array<std::uint8_t, 4>;

Picture makePicture(int width, int height, const std::function<Rgba(int, int)>& color) {
    Picture picture;
    picture.width = width;
    picture.height = height;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const Rgba c = color(x, y);
            picture.rgba.insert(picture.rgba.end(), c.begin(), c.end());
        }
    }
    return picture;
}

int indexAt(const PatternBytes& pattern, int x, int y) {
    const int sprite = (y / 16) * 16 + x / 16;
    const std::uint8_t byte = pattern[sprite * 128 + (x % 16 >= 8 ? 64 : 0) + (y % 16) * 4 + (x % 8) / 2];
    return x % 2 == 0 ? byte >> 4 : byte & 15;
}

// The colour the sprite picture shows at (x, y), as palette word.
std::uint16_t wordAt(const ImportResult& result, int x, int y) {
    return result.palette.word(result.blockMap[(y / 16) * 16 + x / 16] * 16 + indexAt(result.pattern, x, y));
}

std::uint16_t wordOf(const Rgba& c) {
    return data::wordFromColor(data::Rgb{c[0], c[1], c[2]});
}

std::string failureOf(const Picture& picture, const ImportSettings& settings) {
    try {
        importPicture(picture, settings, PatternBytes{}, "p.png");
    } catch (const platform::Failure& failure) {
        return failure.message();
    }
    return "";
}

// Cell (cx, cy) of a 256 x 256 picture uses `colors(cx, cy)` colours from a shared ramp, so that cells
// overlap in colour and must be packed.
Rgba rampColor(int n) {
    return Rgba{std::uint8_t(n * 8 % 256), std::uint8_t(n * 24 % 256), std::uint8_t(255 - n * 8 % 256), 255};
}

// Colour n of 256 distinct ones on the five-bit grid.
Rgba gridColor(int n) {
    return Rgba{std::uint8_t(n % 32 * 8), std::uint8_t(n / 32 * 8 + 64), std::uint8_t(n * 7 % 32 * 8), 255};
}

TEST(ImportBuild, PackedPaletteShowsEveryPixelInItsColour) {
    // Cell (cx, cy) holds ramp colours cx .. cx + 11 (cy odd: every other one), with a transparent
    // corner in the top-left cell.
    const auto color = [](int x, int y) {
        const int cx = x / 16, cy = y / 16;
        if (cx == 0 && cy == 0 && x < 4 && y < 4) return Rgba{9, 9, 9, 0};
        const int step = (x % 16 + (y % 16) * 3) % 12;
        return rampColor(cx + (cy % 2 == 1 ? step / 2 * 2 : step));
    };
    const Picture picture = makePicture(256, 256, color);
    const ImportResult result = importPicture(picture, ImportSettings{}, PatternBytes{}, "p.png");
    for (int y = 0; y < 256; ++y) {
        for (int x = 0; x < 256; ++x) {
            const Rgba c = color(x, y);
            if (c[3] == 0) {
                ASSERT_EQ(indexAt(result.pattern, x, y), 0);
                ASSERT_EQ(wordAt(result, x, y), 0);
            } else {
                ASSERT_EQ(wordAt(result, x, y), wordOf(c)) << x << "," << y;
            }
        }
    }
    // Blocks are numbered by their first cell, and inside a block the colours ascend by word.
    EXPECT_EQ(result.blockMap[0], 0);
    for (int i = 2; i < 13; ++i) EXPECT_LT(result.palette.word(i - 1), result.palette.word(i));
}

TEST(ImportBuild, TooManyColoursOrBlocksAreNamed) {
    // 17 colours in cell 2,1.
    const Picture crowded = makePicture(64, 32, [](int x, int y) {
        const bool inCell = x / 16 == 2 && y / 16 == 1;
        return rampColor(inCell && x % 16 == 0 && y % 16 == 0 ? 16 : inCell ? x % 16 : 0);
    });
    EXPECT_EQ(failureOf(crowded, {}), "picture p.png, cell 2,1 has 17 colours; a sprite has at most 16");
    // Transparency takes one of the 16.
    const auto withClearCorner = [](int colors) {
        return makePicture(16, 16,
                           [=](int x, int y) { return x == 15 && y == 15 ? Rgba{} : rampColor(x % colors); });
    };
    EXPECT_EQ(failureOf(withClearCorner(15), {}), "");
    EXPECT_EQ(
        failureOf(withClearCorner(16), {}),
        "picture p.png, cell 0,0 has 17 colours (transparent pixels count as one); a sprite has at most 16");
    // 20 cells of 16 colours each, no colour shared: 20 blocks.
    const Picture twenty = makePicture(80, 64, [](int x, int y) {
        return Rgba{std::uint8_t((y / 16 * 5 + x / 16) * 8), std::uint8_t(x % 16 * 8), 0, 255};
    });
    EXPECT_EQ(failureOf(twenty, {}),
              "picture p.png needs more than 16 palette blocks of 16 colours: its cells have 320 different "
              "colours, and the palette holds 256");
    // 17 cells of 16 colours, each sharing 8 with the others: no two fit one block, and the message says
    // which cells; a cell whose colours another holds is no part of the proof.
    const Picture seventeen = makePicture(16 * 9, 32, [](int x, int y) {
        const int cell = y / 16 * 9 + x / 16;
        return gridColor(cell == 17 ? x % 4 : cell * 8 + x % 16);
    });
    EXPECT_EQ(
        failureOf(seventeen, {}),
        "picture p.png needs more than 16 palette blocks of 16 colours: no two of the 17 cells 0,0 1,0 2,0 "
        "3,0 4,0 5,0 6,0 7,0 8,0 0,1 1,1 2,1 3,1 4,1 5,1 6,1 7,1 fit one block together");
    // Halves and middles of 16 blocks of 16 colours, which the greedy packing spreads over 24 blocks:
    // without time for the search, the message says what is known and what is not.
    const Picture trap = makePicture(256, 48, [](int x, int y) {
        const int cell = y / 16 * 16 + x / 16;
        static constexpr int kStart[] = {0, 16, 8, 24, 4, 20};
        return gridColor(cell / 6 * 32 + kStart[cell % 6] + (x + y) % 8);
    });
    ImportSettings hurried;
    hurried.packingTimeLimit = std::chrono::milliseconds(0);
    EXPECT_EQ(failureOf(trap, hurried),
              "picture p.png: the search for a packing into 16 palette blocks stopped at its limit of 0 s "
              "without an answer, and the best packing found needs 24 palette blocks; --pack-time gives it "
              "longer");
    const ImportResult packed = importPicture(trap, ImportSettings{}, PatternBytes{}, "p.png");
    EXPECT_EQ(packed.notes,
              std::vector<std::string>{"the greedy packing needed more than 16 palette blocks; a "
                                       "search found 16"});
}

TEST(ImportBuild, PicturesFromSixteenHiddenBlocksComeBackPixelForPixel) {
    std::mt19937 random(20);
    for (int trial = 0; trial < 24; ++trial) {
        // Sixteen blocks of 16 colours, some their own and the rest from a pool they share; each cell
        // draws its pixels from part of one block. Every fourth picture has transparent pixels as one of
        // a block's colours.
        const bool clear = trial % 4 == 3;
        const int own = trial % 13, pool = 16 - own + trial % 5 * 4;
        std::vector<std::vector<int>> hidden(16);
        for (int h = 0; h < 16; ++h) {
            for (int i = 0; i < own; ++i) hidden[h].push_back(h * own + i);
            std::vector<int> shared(pool);
            std::iota(shared.begin(), shared.end(), 16 * own);
            std::shuffle(shared.begin(), shared.end(), random);
            hidden[h].insert(hidden[h].end(), shared.begin(), shared.begin() + (16 - own));
            if (clear) hidden[h][0] = -1;
        }
        std::vector<std::vector<int>> cellColors(256);
        for (auto& colors : cellColors) {
            colors = hidden[random() % 16];
            std::shuffle(colors.begin(), colors.end(), random);
            colors.resize(std::size_t(1 + random() % 16));
        }
        std::vector<int> noise(256 * 256);
        for (int& n : noise) n = int(random() % 16);
        const auto color = [&](int x, int y) {
            const auto& colors = cellColors[y / 16 * 16 + x / 16];
            const int n = colors[std::size_t(noise[y * 256 + x]) % colors.size()];
            return n < 0 ? Rgba{} : gridColor(n);
        };
        const Picture picture = makePicture(256, 256, color);
        SCOPED_TRACE("trial " + std::to_string(trial));
        const ImportResult result = importPicture(picture, ImportSettings{}, PatternBytes{}, "p.png");
        for (int y = 0; y < 256; ++y) {
            for (int x = 0; x < 256; ++x) {
                const Rgba c = color(x, y);
                ASSERT_EQ(wordAt(result, x, y), c[3] == 0 ? 0 : wordOf(c)) << x << "," << y;
                // With transparent pixels anywhere, index 0 is theirs alone (blocks of 16 opaque
                // colours aside, which these pictures do not have).
                if (clear) {
                    ASSERT_EQ(indexAt(result.pattern, x, y) == 0, c[3] == 0) << x << "," << y;
                }
            }
        }
    }
}

TEST(ImportBuild, PartlyTransparentPixelsAreRefusedOrTakenByTheThreshold) {
    // Beside transparent pixels, a cell of 16 opaque colours still imports, with a warning that index 0
    // of its block is one of them.
    const Picture full = makePicture(32, 16, [](int x, int y) {
        return x < 16 ? (x == y ? Rgba{} : gridColor(100)) : gridColor((x + y) % 16);
    });
    const ImportResult warned = importPicture(full, ImportSettings{}, PatternBytes{}, "p.png");
    ASSERT_EQ(warned.warnings.size(), 1u);
    EXPECT_EQ(warned.warnings[0],
              "picture p.png: palette block 1 needs all 16 indices for opaque colours, so nrbx-export "
              "--transparent would also clear its colour #004000 at index 0");
    EXPECT_EQ(wordAt(warned, 16, 0), wordOf(gridColor(0)));

    // Alpha rises along the rows of cell 1,0; cell 0,0 is opaque.
    const auto alpha = [](int x, int y) { return x < 16 ? 255 : (y * 16 + x % 16); };
    const Picture picture = makePicture(32, 16, [&](int x, int y) {
        Rgba c = rampColor(x % 8);
        c[3] = std::uint8_t(alpha(x, y));
        return c;
    });
    EXPECT_EQ(failureOf(picture, {}),
              "picture p.png has 254 partly transparent pixels (alpha 1..254), the first in cell 1,0; give "
              "--alpha-threshold N to make alpha below N transparent and the rest opaque");
    ImportSettings settings;
    settings.palette = data::PaletteFile{};
    EXPECT_EQ(failureOf(picture, settings).substr(0, 50), failureOf(picture, {}).substr(0, 50));
    for (int threshold : {0, 1, 100, 255}) {
        settings = ImportSettings{};
        settings.alphaThreshold = threshold;
        const ImportResult result = importPicture(picture, settings, PatternBytes{}, "p.png");
        for (int y = 0; y < 16; ++y) {
            for (int x = 0; x < 32; ++x) {
                const bool clear = alpha(x, y) < threshold;
                // Threshold 0: nothing transparent, and index 0 a colour like any other.
                if (threshold > 0) {
                    ASSERT_EQ(indexAt(result.pattern, x, y) == 0, clear)
                        << threshold << ": " << x << "," << y;
                }
                if (!clear) {
                    ASSERT_EQ(wordAt(result, x, y), wordOf(rampColor(x % 8)));
                }
            }
        }
    }
}

data::PaletteFile paletteOf(const std::function<std::uint16_t(int)>& word) {
    data::PaletteFile palette;
    for (int k = 0; k < 256; ++k) {
        palette.bytes[2 * k] = std::uint8_t(word(k) >> 8);
        palette.bytes[2 * k + 1] = std::uint8_t(word(k));
    }
    return palette;
}

TEST(ImportPalette, CellsTakeTheFirstBlockHoldingTheirColoursOrTheMappedOne) {
    // Block b holds words (b + i) * 2 + 1 (bit 0 set), i = 0..15, and block 9 repeats colour 3 at index 7.
    const data::PaletteFile palette = paletteOf(
        [](int k) { return std::uint16_t(k == 9 * 16 + 7 ? (9 + 3) * 2 : (k / 16 + k % 16) * 2 + 1); });
    const auto rgbaOfWord = [](int word) {
        return Rgba{std::uint8_t((word >> 6 & 31) * 8 + 7), std::uint8_t((word >> 11 & 31) * 8),
                    std::uint8_t((word >> 1 & 31) * 8), 255};
    };
    // Cell 0 uses colours 3..5 and cell 1 colours 12..14 (colour n: word 2n); block 0 is the first to
    // hold either set.
    const Picture picture =
        makePicture(32, 16, [&](int x, int y) { return rgbaOfWord((x / 16 * 9 + 3 + (x + y) % 3) * 2); });
    ImportSettings settings;
    settings.palette = palette;
    ImportResult result = importPicture(picture, settings, PatternBytes{}, "p.png");
    EXPECT_EQ(result.blockMap[0], 0);
    EXPECT_EQ(result.blockMap[1], 0);
    EXPECT_EQ(result.palette.bytes, palette.bytes);  // given palette unchanged, bit 0 and all
    EXPECT_EQ(indexAt(result.pattern, 0, 0), 3);
    EXPECT_TRUE(result.notes.empty());

    // Mapped to block 9: colour 12 stands at index 3 and 7; the first wins, and -v hears of it.
    data::BlockMap map{};
    map[1] = 9;
    settings.blocks = map;
    result = importPicture(picture, settings, PatternBytes{}, "p.png");
    EXPECT_EQ(result.blockMap[1], 9);
    EXPECT_EQ(indexAt(result.pattern, 18, 0), 3);
    ASSERT_EQ(result.notes.size(), 1u);
    EXPECT_EQ(result.notes[0], "palette block 9 holds #070060 more than once; index 3 is used");

    // Mapped to block 15, which lacks colour 12: refused, or the nearest with --nearest.
    map[1] = 15;
    settings.blocks = map;
    EXPECT_EQ(failureOf(picture, settings),
              "picture p.png, cell 1,0: colour #070060 is not in palette block 15");
    settings.nearest = true;
    result = importPicture(picture, settings, PatternBytes{}, "p.png");
    EXPECT_EQ(indexAt(result.pattern, 18, 0), 0);  // word 30 is nearest to 24

    // Without a map: a colour in no block, and colours that no single block holds together.
    settings = ImportSettings{};
    settings.palette = palette;
    const Picture stranger = makePicture(16, 16, [&](int x, int) {
        return x == 5 ? Rgba{255, 255, 255, 255} : rgbaOfWord(2);
    });
    EXPECT_EQ(failureOf(stranger, settings), "picture p.png, cell 0,0: colour #FFFFFF is not in the palette");
    const Picture apart = makePicture(16, 16, [&](int x, int) { return rgbaOfWord(x < 8 ? 2 : 60); });
    EXPECT_EQ(
        failureOf(apart, settings),
        "picture p.png, cell 0,0: no palette block holds all of its colours; block 0, which holds the most, "
        "lacks #0700F0");
    // With --nearest: the block closest to both halves (block 8: colours 8..23, off by 7 either way).
    settings.nearest = true;
    result = importPicture(apart, settings, PatternBytes{}, "p.png");
    EXPECT_EQ(result.blockMap[0], 8);
    EXPECT_EQ(indexAt(result.pattern, 0, 0), 0);
    EXPECT_EQ(indexAt(result.pattern, 15, 0), 15);
}

TEST(ImportIndexed, IndicesKeepTheirBlocksAndCellsMayNotMixThem) {
    Picture picture = makePicture(32, 16, [](int, int) { return Rgba{0, 0, 0, 255}; });
    picture.indexed = true;
    for (int k = 0; k < 256; ++k)
        picture.table.push_back(data::Rgb{std::uint8_t(k), 0, std::uint8_t(255 - k)});
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 32; ++x)
            picture.indices.push_back(std::uint8_t((x < 16 ? 3 : 12) * 16 + (x + y) % 16));
    ImportSettings settings;
    settings.spriteIndexed = true;
    settings.atX = 14;
    settings.atY = 15;
    PatternBytes base;
    base.fill(0xAB);
    const ImportResult result = importPicture(picture, settings, base, "p.png");
    EXPECT_EQ(result.blockMap[255 - 1], 3);
    EXPECT_EQ(result.blockMap[255], 12);
    EXPECT_EQ(result.blockMap[0], 0);
    EXPECT_EQ(indexAt(result.pattern, 14 * 16 + 5, 240 + 2), 7);
    EXPECT_EQ(result.pattern[0], 0xAB);  // outside the picture: the base
    EXPECT_EQ(result.palette.word(200), wordOf(Rgba{200, 0, 55, 255}));

    settings.atX = 15;
    EXPECT_EQ(failureOf(picture, settings),
              "picture p.png of 2 x 1 cells put at cell 15,15 reaches past cell 15");
    settings.atX = 0;
    picture.indices[16 * 32 - 1] = 0;
    EXPECT_EQ(failureOf(picture, settings),
              "picture p.png, cell 1,15 mixes palette blocks 12 and 0; a sprite has one block");

    // A table of at most 16 colours is block -b.
    picture.table.resize(16);
    for (auto& v : picture.indices) v %= 16;
    settings.block = 6;
    const ImportResult narrow = importPicture(picture, settings, base, "p.png");
    EXPECT_EQ(narrow.blockMap[15 * 16 + 1], 6);
    EXPECT_EQ(narrow.palette.word(6 * 16 + 2), wordOf(Rgba{2, 0, 253, 255}));
    EXPECT_EQ(narrow.palette.word(2), 0);

    EXPECT_EQ(failureOf(makePicture(24, 16, [](int, int) { return Rgba{}; }), {}),
              "picture p.png is 24 x 16 pixels; both sides must be multiples of 16");
    EXPECT_EQ(
        failureOf(makePicture(16, 16, [](int, int) { return Rgba{}; }), settings),
        "picture p.png has no colour table; --indexed sprite takes an indexed PNG or an 8- or 4-bit BMP");
}

}  // namespace
}  // namespace nrbx::importing
