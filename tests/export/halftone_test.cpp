#include "export/halftone.h"

#include <gtest/gtest.h>

#include <set>

using namespace nrbx::exporting;
using nrbx::data::Rgb;

TEST(ColourTables, HalftoneHas256DistinctColoursStartingWithTheSixteen) {
    const auto& h = halftonePalette();
    std::set<std::tuple<int, int, int>> seen;
    for (const auto& c : h) seen.insert({c.red, c.green, c.blue});
    EXPECT_EQ(seen.size(), 256u);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(h[i], sixteenColorPalette()[i]);
    EXPECT_EQ(sixteenColorPalette()[1], (Rgb{128, 0, 0}));
    EXPECT_EQ(sixteenColorPalette()[8], (Rgb{192, 192, 192}));
}

TEST(NearestColour, ExactMatchesWinAndOthersGoToTheClosest) {
    NearestColorMap sixteen(sixteenColorPalette());
    EXPECT_EQ(sixteen(Rgb{0, 0, 0}), 0);
    EXPECT_EQ(sixteen(Rgb{255, 255, 255}), 15);
    EXPECT_EQ(sixteen(Rgb{128, 128, 128}), 7);
    EXPECT_EQ(sixteen(Rgb{248, 248, 248}), 15);
    EXPECT_EQ(sixteen(Rgb{248, 0, 0}), 9);
    EXPECT_EQ(sixteen(Rgb{200, 200, 200}), 8);
    // Asked again (served from memory) the answer is the same.
    EXPECT_EQ(sixteen(Rgb{248, 0, 0}), 9);
    EXPECT_EQ(sixteen(Rgb{200, 200, 200}), 8);

    NearestColorMap halftone(halftonePalette());
    for (int i = 0; i < 256; ++i) EXPECT_EQ(halftone(halftonePalette()[i]), i);
    // Sprite greys lie on the 8-step grid and are held exactly.
    for (int v = 8; v < 256; v += 8) {
        const Rgb grey{std::uint8_t(v), std::uint8_t(v), std::uint8_t(v)};
        EXPECT_EQ(halftonePalette()[halftone(grey)], grey);
    }
}

TEST(NearestColour, ManyDistinctColoursStillMatchCorrectly) {
    NearestColorMap sixteen(sixteenColorPalette());
    // More colours than the memory holds: the answers must not degrade.
    for (int r = 0; r < 256; r += 5) {
        for (int g = 0; g < 256; g += 7) {
            const Rgb c{std::uint8_t(r), std::uint8_t(g), 30};
            int best = 0, bestD = 1 << 30;
            for (int i = 0; i < 16; ++i) {
                const auto& t = sixteenColorPalette()[i];
                const int d =
                    (t.red - r) * (t.red - r) + (t.green - g) * (t.green - g) + (t.blue - 30) * (t.blue - 30);
                if (d < bestD) bestD = d, best = i;
            }
            ASSERT_EQ(sixteen(c), best) << r << "," << g;
        }
    }
}
