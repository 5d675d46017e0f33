// The colour reduction: whatever the picture, valid blocks the pattern format can hold, the same bytes
// every time, and dithering that only picks among the block each cell chose.

#include "import/reduce.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <random>
#include <set>

#include "import/blend_polish.h"
#include "import/color_key.h"
#include "import/conversion.h"
#include "import/oklab.h"

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
Reduction reduceOne(const Picture& picture, const ReduceSettings& settings) {
    return reduceColours(std::span(&picture, 1), settings);
}

void expectValid(const Picture& picture, const ReduceSettings& settings, const Reduction& reduction) {
    ASSERT_EQ(reduction.pictures.size(), 1u);
    const ReducedPicture& r = reduction.pictures.front();
    ASSERT_EQ(r.columns, picture.width / 16);
    ASSERT_EQ(r.rows, picture.height / 16);
    ASSERT_EQ(r.indices.size(), std::size_t(picture.width * picture.height));
    EXPECT_GE(reduction.blocksUsed, 1);
    EXPECT_LE(reduction.blocksUsed, settings.blocks);
    bool clear = false;
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x)
            clear = clear || transparent(picture, x, y, settings.alphaThreshold);
    for (int b = 0; b < 16; ++b) {
        for (std::uint16_t word : reduction.words[b]) EXPECT_EQ(word & 1, 0) << "block " << b;
        if (clear) {
            EXPECT_EQ(reduction.words[b][0], 0) << "block " << b;
        }
    }
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            const int block = r.blockOfCell[(y / 16) * r.columns + x / 16];
            const int index = r.indices[std::size_t(y) * picture.width + x];
            ASSERT_LT(block, reduction.blocksUsed);
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
            // Each error in turn, so that all are held to the same promises.
            settings.error = dither == Dither::None      ? ErrorSpace::Blend
                             : dither == Dither::Ordered ? ErrorSpace::Oklab
                                                         : ErrorSpace::Rgb;
            const Reduction first = reduceOne(picture, settings);
            expectValid(picture, settings, first);
            const Reduction again = reduceOne(picture, settings);
            EXPECT_EQ(again.pictures[0].indices, first.pictures[0].indices);
            EXPECT_EQ(again.pictures[0].blockOfCell, first.pictures[0].blockOfCell);
            EXPECT_EQ(again.words, first.words);
        }
    }
}

TEST(ReduceColours, DitheringKeepsEveryCellsBlockAndColours) {
    for (unsigned seed : {11u, 12u}) {
        const Picture picture = randomPicture(seed, 128, 96);
        ReduceSettings settings;
        // The blend moves the colours for the nearest mapping only; the cells' blocks stay.
        for (ErrorSpace error : {ErrorSpace::Rgb, ErrorSpace::Blend}) {
            settings.error = error;
            settings.dither = Dither::None;
            const Reduction plain = reduceOne(picture, settings);
            for (Dither dither : {Dither::Ordered, Dither::Diffusion}) {
                SCOPED_TRACE(std::string(toString(dither)) + " " + std::string(toString(error)));
                settings.dither = dither;
                const Reduction dithered = reduceOne(picture, settings);
                EXPECT_EQ(dithered.pictures[0].blockOfCell, plain.pictures[0].blockOfCell);
                if (error == ErrorSpace::Rgb) {
                    EXPECT_EQ(dithered.words, plain.words);
                }
                EXPECT_NE(dithered.pictures[0].indices, plain.pictures[0].indices);
            }
        }
    }
}

// The blend's error of a pixel shown as a palette word, computed here from the sRGB values.
double blendedError(const std::uint8_t* rgba, std::uint16_t word) {
    const Key key = keyOfWord(word);
    const int shown[3] = {(key >> 5 & 31) * 8, (key >> 10 & 31) * 8, (key & 31) * 8};
    double squared = 0;
    for (int c = 0; c < 3; ++c) squared += std::pow((rgba[c] - shown[c]) / 255.0, 2);
    const Lab p = labFromRgb(rgba[0], rgba[1], rgba[2]);
    const Lab q = labFromRgb(std::uint8_t(shown[0]), std::uint8_t(shown[1]), std::uint8_t(shown[2]));
    return kBlendRgbWeight * squared + std::sqrt(double(distance2(p, q)));
}

// The blend starts from sRGB's search and only steps down its own error: each pixel at its nearest
// colour by it, and the whole no worse than sRGB's result measured the same way.
TEST(ReduceColours, BlendMapsEachPixelToItsNearestAndNeverLosesToRgb) {
    for (unsigned seed : {21u, 22u}) {
        const Picture picture = randomPicture(seed, 96, 64);
        ReduceSettings settings;
        settings.blocks = seed == 21u ? 16 : 3;
        settings.alphaThreshold = seed == 21u ? 128 : 0;
        settings.error = ErrorSpace::Rgb;
        const Reduction rgb = reduceOne(picture, settings);
        settings.error = ErrorSpace::Blend;
        const Reduction blend = reduceOne(picture, settings);
        expectValid(picture, settings, blend);
        bool clear = false;
        for (int y = 0; y < picture.height; ++y)
            for (int x = 0; x < picture.width; ++x)
                clear = clear || transparent(picture, x, y, settings.alphaThreshold);
        int misses = 0;  // pixels with a nearer colour in their block
        const auto total = [&](const Reduction& reduction, bool checkNearest) {
            const ReducedPicture& r = reduction.pictures[0];
            double sum = 0;
            for (int y = 0; y < picture.height; ++y) {
                for (int x = 0; x < picture.width; ++x) {
                    if (transparent(picture, x, y, settings.alphaThreshold)) continue;
                    const auto& words = reduction.words[r.blockOfCell[(y / 16) * r.columns + x / 16]];
                    const double error =
                        blendedError(picture.pixel(x, y), words[r.indices[y * picture.width + x]]);
                    sum += error;
                    if (!checkNearest) continue;
                    for (int i = clear ? 1 : 0; i < settings.colours; ++i)
                        misses += error > blendedError(picture.pixel(x, y), words[std::size_t(i)]) + 1e-5;
                }
            }
            return sum;
        };
        EXPECT_LE(total(blend, true), total(rgb, false) * (1 + 1e-6));
        EXPECT_EQ(misses, 0);
    }
}

TEST(ReduceColours, CountsPartlyTransparentPixelsAndSeedsChangeOnlyTheSearch) {
    const Picture picture = randomPicture(5, 64, 64);
    long partly = 0;
    for (std::size_t i = 3; i < picture.rgba.size(); i += 4)
        partly += picture.rgba[i] > 0 && picture.rgba[i] < 255;
    ASSERT_GT(partly, 0);
    ReduceSettings settings;
    EXPECT_EQ(reduceOne(picture, settings).roundedAlpha, partly);
    settings.seed = 99;
    expectValid(picture, settings, reduceOne(picture, settings));
}

// A picture from 16 hidden blocks of 16 colours, each cell a random subset of one of them, with
// transparent pixels when `clear` (a hidden block then has 15 colours: transparency is one more).
// `component` makes each colour component from a five-bit level and the random stream.
template <class Component>
Picture hiddenBlocksPicture(std::mt19937& random, int columns, int rows, bool clear, Component component) {
    std::array<std::array<std::array<std::uint8_t, 3>, 16>, 16> hidden;
    for (auto& block : hidden)
        for (auto& colour : block)
            for (auto& c : colour) c = component(int(random() % 32));
    Picture picture;
    picture.width = 16 * columns;
    picture.height = 16 * rows;
    picture.rgba.resize(std::size_t(picture.width) * picture.height * 4);
    for (int cy = 0; cy < rows; ++cy) {
        for (int cx = 0; cx < columns; ++cx) {
            const auto& block = hidden[random() % 16];
            const int size = clear ? 15 : 16;
            std::vector<int> subset(static_cast<std::size_t>(size));
            std::iota(subset.begin(), subset.end(), 0);
            std::shuffle(subset.begin(), subset.end(), random);
            const std::size_t used = 1 + random() % std::size_t(size);
            for (int i = 0; i < 256; ++i) {
                std::uint8_t* p = picture.rgba.data() +
                                  (std::size_t(cy * 16 + i / 16) * picture.width + cx * 16 + i % 16) * 4;
                const auto& colour = block[std::size_t(subset[(i * 7 + cx) % used])];
                p[0] = colour[0], p[1] = colour[1], p[2] = colour[2];
                p[3] = clear && i % 37 == 0 ? 0 : 255;
            }
        }
    }
    return picture;
}

// Colours that are five-bit words widened by shifting (v * 8) or by bit replication (v * 8 + v / 4), both
// kinds in one picture as nrbx's own exports and other tools write them: --reduce gives the bytes the
// exact import gives, and says that it kept them.
TEST(ReduceColours, PicturesOfWidenedWordsThatFitAreImportedAsWithoutReduce) {
    std::mt19937 random(3);
    for (int round = 0; round < 6; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const Picture picture =
            hiddenBlocksPicture(random, 4 + round * 2, 2 + round, round % 2 == 1,
                                [&](int v) { return std::uint8_t(random() % 2 ? v * 8 : v * 8 + v / 4); });
        ImportSettings exact;
        const ImportResult expected = importPicture(picture, exact, PatternBytes{}, "p.png");
        ImportSettings reduce;
        reduce.reduce = ReduceSettings{};
        reduce.reduce->dither = Dither::Diffusion;
        const ImportResult got = importPicture(picture, reduce, PatternBytes{}, "p.png");
        EXPECT_EQ(got.pattern, expected.pattern);
        EXPECT_EQ(got.palette.bytes, expected.palette.bytes);
        EXPECT_EQ(got.blockMap, expected.blockMap);
        EXPECT_NE(std::find(got.notes.begin(), got.notes.end(),
                            "picture p.png fits the palette as it is; every colour is kept"),
                  got.notes.end());
    }
}

// Any other colours (here 1..7 above or below a level, which the exact import would truncate) that
// pack once each is taken to its nearest level: every pixel shows exactly that level.
TEST(ReduceColours, OtherPicturesThatFitByNearestLevelsShowTheNearestLevels) {
    std::mt19937 random(4);
    for (bool clear : {false, true}) {
        const Picture picture = hiddenBlocksPicture(random, 8, 6, clear, [&](int v) {
            const int c = v * 8 + int(random() % 7) - 3;
            return std::uint8_t(std::clamp(c == v * 8 ? c + 1 : c, 1, 254));
        });
        const Reduction reduction = reduceOne(picture, ReduceSettings{});
        EXPECT_TRUE(reduction.exact);
        const ReducedPicture& r = reduction.pictures.front();
        for (int y = 0; y < picture.height; ++y) {
            for (int x = 0; x < picture.width; ++x) {
                const std::uint8_t* p = picture.pixel(x, y);
                if (p[3] < 128) continue;
                const std::uint16_t word = reduction.words[r.blockOfCell[(y / 16) * r.columns + x / 16]]
                                                          [r.indices[std::size_t(y) * picture.width + x]];
                const data::Rgb shown = data::colorFromWord(word);
                for (int i = 0; i < 3; ++i) {
                    const int level = std::min(31, (p[i] + 4) / 8);
                    ASSERT_EQ((i == 0   ? shown.red
                               : i == 1 ? shown.green
                                        : shown.blue),
                              level * 8)
                        << x << "," << y << " component " << i << " of " << int(p[i]);
                }
            }
        }
    }
}

// Kept blocks keep their words and numbers; cells whose colours one of them holds take it, and the
// free blocks take the numbers left, within the limit that counts both.
TEST(ReduceColours, KeptBlocksKeepTheirWordsAndServeTheCellsTheyFit) {
    std::mt19937 random(5);
    for (bool clear : {false, true}) {
        SCOPED_TRACE(clear ? "with transparency" : "opaque");
        ReduceSettings settings;
        settings.blocks = 5;
        for (int number : {6, 0, 13}) {
            KeptBlock& kept = settings.kept.emplace_back();
            kept.number = number;
            for (auto& word : kept.words) word = std::uint16_t(random() % 0x8000 * 2);
            if (clear) kept.words[0] = 0;
        }
        Picture picture = randomPicture(7, 128, 64);
        // Its left half from the colours of kept block 6 (each cell a few of them), opaque.
        const auto& words = settings.kept[0].words;
        for (int y = 0; y < picture.height; ++y) {
            for (int x = 0; x < picture.width / 2; ++x) {
                const data::Rgb rgb = data::colorFromWord(words[std::size_t(1 + (x / 4 + y / 16 * 3) % 15)]);
                std::uint8_t* p = picture.rgba.data() + (std::size_t(y) * picture.width + x) * 4;
                p[0] = rgb.red, p[1] = rgb.green, p[2] = rgb.blue, p[3] = 255;
            }
        }
        if (!clear)
            for (std::size_t i = 3; i < picture.rgba.size(); i += 4) picture.rgba[i] = 255;
        const Reduction reduction = reduceOne(picture, settings);
        for (const KeptBlock& kept : settings.kept) EXPECT_EQ(reduction.words[kept.number], kept.words);
        const ReducedPicture& r = reduction.pictures.front();
        std::set<int> used(r.blockOfCell.begin(), r.blockOfCell.end());
        EXPECT_LE(used.size(), 5u);
        for (int block : used) {
            EXPECT_LT(block, reduction.blocksUsed);
            EXPECT_TRUE(block == 0 || block == 6 || block == 13 || block == 1 || block == 2) << block;
        }
        for (int y = 0; y < picture.height; ++y) {
            for (int x = 0; x < picture.width; ++x) {
                const int block = r.blockOfCell[(y / 16) * r.columns + x / 16];
                const int index = r.indices[std::size_t(y) * picture.width + x];
                if (picture.pixel(x, y)[3] < 128) {
                    ASSERT_EQ(index, 0);
                    continue;
                }
                if (clear) {
                    ASSERT_NE(index, 0) << x << "," << y;
                }
                if (x < picture.width / 2) {
                    ASSERT_EQ(block, 6) << x << "," << y;
                    ASSERT_EQ(words[std::size_t(index)] >> 1,
                              words[std::size_t(1 + (x / 4 + y / 16 * 3) % 15)] >> 1);
                }
            }
        }
    }
}

}  // namespace
}  // namespace nrbx::importing
