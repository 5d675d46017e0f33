// The colour reduction: whatever the picture, valid blocks the pattern format can hold, the same bytes
// every time, and dithering that only picks among the block each cell chose.

#include "import/reduce.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace nrbx::importing {
namespace {

// Gradients with grain, a few fully and partly transparent patches: far from fitting.
Picture randomPicture(unsigned seed, int width, int height) {
    std::mt19937 random(seed);
    const auto uniform = [&](int n) { return int(random() % unsigned(n)); };
    Picture picture;
    picture.width = width;
    picture.height = height;
    const int hueShift = uniform(256), clearX = uniform(width), clearY = uniform(height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int grain = uniform(24);
            const auto channel = [&](int v) { return std::uint8_t(std::clamp(v + grain, 0, 255)); };
            const int d = std::abs(x - clearX) + std::abs(y - clearY);
            const std::uint8_t alpha = d < 12 ? 0 : d < 18 ? std::uint8_t(d * 14) : 255;
            picture.rgba.insert(picture.rgba.end(),
                                {channel((x * 255 / width + hueShift) % 256), channel(y * 255 / height),
                                 channel((x + y) % 200), alpha});
        }
    }
    return picture;
}

bool transparent(const Picture& picture, int x, int y, int threshold) {
    return picture.pixel(x, y)[3] < threshold;
}

// Everything the pattern, palette and block map can hold, and what the reduction promises of them.
void expectValid(const Picture& picture, const ReduceSettings& settings, const ReducedPicture& r) {
    ASSERT_EQ(r.columns, picture.width / 16);
    ASSERT_EQ(r.rows, picture.height / 16);
    ASSERT_EQ(r.indices.size(), std::size_t(picture.width * picture.height));
    EXPECT_GE(r.blocksUsed, 1);
    EXPECT_LE(r.blocksUsed, settings.blocks);
    bool clear = false;
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x)
            clear = clear || transparent(picture, x, y, settings.alphaThreshold);
    for (int b = 0; b < 16; ++b) {
        for (std::uint16_t word : r.words[b]) EXPECT_EQ(word & 1, 0) << "block " << b;
        if (clear) {
            EXPECT_EQ(r.words[b][0], 0) << "block " << b;
        }
    }
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            const int block = r.blockOfCell[(y / 16) * r.columns + x / 16];
            const int index = r.indices[std::size_t(y) * picture.width + x];
            ASSERT_LT(block, r.blocksUsed);
            ASSERT_LT(index, settings.colours) << x << "," << y;
            if (transparent(picture, x, y, settings.alphaThreshold)) {
                ASSERT_EQ(index, 0) << x << "," << y;
            } else if (clear) {
                ASSERT_NE(index, 0) << x << "," << y << ": index 0 is transparency";
            }
        }
    }
}

TEST(ReduceColours, RandomPicturesGiveValidBlocksTheSameEveryTime) {
    const struct {
        int width, height, blocks, colours, threshold;
    } cases[] = {{256, 256, 16, 16, 128}, {48, 32, 16, 16, 1},  {128, 64, 4, 8, 200},
                 {16, 16, 1, 2, 128},     {64, 64, 3, 16, 255}, {32, 32, 16, 16, 0}};
    unsigned seed = 1;
    for (const auto& c : cases) {
        const Picture picture = randomPicture(seed++, c.width, c.height);
        for (Dither dither : {Dither::None, Dither::Ordered, Dither::Diffusion}) {
            SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) + " " +
                         std::string(toString(dither)));
            ReduceSettings settings;
            settings.blocks = c.blocks;
            settings.colours = c.colours;
            settings.alphaThreshold = c.threshold;
            settings.dither = dither;
            const ReducedPicture first = reduceColours(picture, settings);
            expectValid(picture, settings, first);
            const ReducedPicture again = reduceColours(picture, settings);
            EXPECT_EQ(again.indices, first.indices);
            EXPECT_EQ(again.blockOfCell, first.blockOfCell);
            EXPECT_EQ(again.words, first.words);
        }
    }
}

TEST(ReduceColours, DitheringKeepsEveryCellsBlockAndColours) {
    for (unsigned seed : {11u, 12u}) {
        const Picture picture = randomPicture(seed, 128, 96);
        ReduceSettings settings;
        const ReducedPicture plain = reduceColours(picture, settings);
        for (Dither dither : {Dither::Ordered, Dither::Diffusion}) {
            settings.dither = dither;
            const ReducedPicture dithered = reduceColours(picture, settings);
            EXPECT_EQ(dithered.blockOfCell, plain.blockOfCell) << toString(dither);
            EXPECT_EQ(dithered.words, plain.words) << toString(dither);
            EXPECT_NE(dithered.indices, plain.indices) << toString(dither);
        }
    }
}

TEST(ReduceColours, CountsPartlyTransparentPixelsAndSeedsChangeOnlyTheSearch) {
    const Picture picture = randomPicture(5, 64, 64);
    long partly = 0;
    for (std::size_t i = 3; i < picture.rgba.size(); i += 4)
        partly += picture.rgba[i] > 0 && picture.rgba[i] < 255;
    ASSERT_GT(partly, 0);
    ReduceSettings settings;
    EXPECT_EQ(reduceColours(picture, settings).roundedAlpha, partly);
    settings.seed = 99;
    expectValid(picture, settings, reduceColours(picture, settings));
}

// A picture of few colours a cell, each cell's colours in one of a few hidden blocks: the reduction
// needs no approximation and finds colours that show every pixel as it was.
TEST(ReduceColours, PictureWithinTheLimitsComesBackExactly) {
    std::mt19937 random(3);
    std::array<std::array<std::uint32_t, 12>, 4> hidden;
    for (auto& block : hidden)
        for (auto& colour : block) colour = random() & 0xF8F8F8;
    Picture picture;
    picture.width = picture.height = 64;
    picture.rgba.resize(64 * 64 * 4);
    for (int cell = 0; cell < 16; ++cell) {
        const auto& block = hidden[std::size_t(cell % 4)];
        for (int i = 0; i < 256; ++i) {
            const std::uint32_t colour = block[random() % block.size()];
            std::uint8_t* p =
                picture.rgba.data() +
                ((std::size_t(cell / 4 * 16 + i / 16) * 64) + std::size_t(cell % 4 * 16 + i % 16)) * 4;
            p[0] = std::uint8_t(colour >> 16), p[1] = std::uint8_t(colour >> 8), p[2] = std::uint8_t(colour);
            p[3] = 255;
        }
    }
    const ReducedPicture r = reduceColours(picture, ReduceSettings{});
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            const std::uint16_t word =
                r.words[r.blockOfCell[(y / 16) * 4 + x / 16]][r.indices[std::size_t(y) * 64 + x]];
            const data::Rgb shown = data::colorFromWord(word);
            ASSERT_EQ(shown,
                      (data::Rgb{picture.pixel(x, y)[0], picture.pixel(x, y)[1], picture.pixel(x, y)[2]}))
                << x << "," << y;
        }
    }
}

}  // namespace
}  // namespace nrbx::importing
