// Every vector kernel gives exactly the bytes of its plain C++ fallback. On a machine without the vector
// units both runs take the fallback and agree trivially.

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "canvas/images.h"
#include "data/palette.h"
#include "data/pattern.h"
#include "export/export_image.h"
#include "export/halftone.h"
#include "platform/simd.h"
#include "support/test_support.h"

namespace {

using nrbx::data::Rgb;
namespace canvas = nrbx::canvas;
namespace data = nrbx::data;
namespace exporting = nrbx::exporting;

class VectorKernels : public nrbx::testing::CoreTest {
  protected:
    // What run() returns with the fallbacks forced, then with the vector kernels.
    template <class Run>
    auto plainAndVector(Run run) {
        nrbx::platform::setVectorKernelsEnabled(false);
        auto plain = run();
        nrbx::platform::setVectorKernelsEnabled(true);
        auto vector = run();
        return std::pair{plain, vector};
    }

    std::uint8_t byte() { return static_cast<std::uint8_t>(m_random()); }
    Rgb color() { return Rgb{byte(), byte(), byte()}; }
    int below(int n) { return static_cast<int>(m_random() % static_cast<unsigned>(n)); }

  private:
    std::mt19937 m_random{2026};
};

TEST_F(VectorKernels, AgreeWithTheirFallbacksOnRandomInput) {
    // Decoding the pattern buffer.
    std::vector<std::uint8_t> pattern(data::kPatternBytes);
    for (auto& b : pattern) b = byte();
    nrbx::testing::writeBytes(file("random.pcg"), pattern);
    data::ReadPatternFile(file("random.pcg"));
    const auto [plainGrid, vectorGrid] = plainAndVector([] {
        data::setPatternGrid(data::CellGrid{});  // nothing left over from the other run
        data::DecodePatterns();
        return data::patternState().grid;
    });
    EXPECT_TRUE(plainGrid == vectorGrid) << "decoding";

    // Rendering rows of every length up to two vector widths and more, from unaligned starts, with the
    // high bits of the indices set as well.
    canvas::BlockColors colors;
    for (auto& c : colors) c = {byte(), byte(), byte()};
    std::vector<std::uint8_t> indices(300);
    for (auto& i : indices) i = byte();
    for (const int count : {0, 1, 15, 16, 17, 31, 32, 33, 47, 48, 63, 64, 65, 95, 256, 299}) {
        const int start = count < 299 ? below(300 - count) : 0;
        const auto [plain, vector] = plainAndVector([&, count = count, start = start] {
            std::vector<std::uint8_t> out(static_cast<std::size_t>(count) * 3 + 8, 0xA5);
            canvas::renderIndexRow(indices.data() + start, count, colors, out.data());
            return out;
        });
        EXPECT_EQ(plain, vector) << "rendering " << count << " pixels from " << start;
    }

    // Nearest colours against both fixed tables, one map per run as the exports use them.
    std::vector<Rgb> colours(2000);
    for (auto& c : colours) c = color();
    for (const std::span<const Rgb> table : {std::span<const Rgb>(exporting::halftonePalette()),
                                             std::span<const Rgb>(exporting::sixteenColorPalette())}) {
        const auto [plain, vector] = plainAndVector([&] {
            exporting::NearestColorMap nearest(table);
            std::vector<std::uint8_t> found;
            for (const Rgb& c : colours) found.push_back(nearest(c));
            return found;
        });
        EXPECT_EQ(plain, vector) << "nearest colour in a table of " << table.size();
    }

    // Whole-image depth conversion: a few colours repeated (the pair cache hits) and many colours (it
    // misses), at an odd width so that a single pixel is left at the end.
    for (const int palette : {5, 100000}) {
        std::vector<Rgb> few(static_cast<std::size_t>(std::min(palette, 64)));
        for (auto& c : few) c = color();
        exporting::ExportImage image;
        image.width = 255;
        image.height = 37;
        for (int i = 0; i < image.width * image.height; ++i) {
            const Rgb c = palette < 64 ? few[static_cast<std::size_t>(below(palette))] : color();
            image.pixels.insert(image.pixels.end(), {c.blue, c.green, c.red});
        }
        for (const int bpp : {8, 4}) {
            const auto [plain, vector] = plainAndVector([&] {
                exporting::ExportImage converted = image;
                exporting::SetExportDepth(converted, bpp);
                return converted.pixels;
            });
            EXPECT_EQ(plain, vector) << "depth " << bpp << " with " << palette << " colours";
        }
    }
}

}  // namespace
