#include "export/sprite_indexed.h"

#include <gtest/gtest.h>

#include "canvas/images.h"
#include "canvas/palette_block.h"
#include "canvas/selection.h"
#include "data/palette.h"
#include "data/pattern.h"
#include "platform/failure.h"
#include "support/test_support.h"

using namespace nrbx;
using nrbx::exporting::spriteIndexedExport;

namespace {

class SpriteIndices : public nrbx::testing::CoreTest {
  protected:
    void SetUp() override {
        CoreTest::SetUp();
        data::PaletteTable table;
        for (int k = 0; k < 256; ++k)
            table[k] = data::Rgb{std::uint8_t(k), std::uint8_t(255 - k), std::uint8_t(k / 3)};
        data::setPaletteTable(table);
        data::CellGrid grid;
        for (int y = 0; y < 256; ++y)
            for (int x = 0; x < 256; ++x)
                grid(x, y) = static_cast<std::uint8_t>((x * 7 + y * 3 + x / 16) % 16);
        data::setPatternGrid(grid);
    }

    void renderAllWith(int block) {
        canvas::setPaletteBlock(block);
        canvas::RenderCells(0, 0, 15, 15);
    }

    void renderCellsWith(int x0, int y0, int x1, int y1, int block) {
        canvas::setSelection(canvas::CellRect{x0, y0, x1, y1});
        canvas::changePaletteBlock(block);
    }

    // The index image and its table must show exactly the backing image's colours.
    void expectSameColorsAsPicture(const exporting::ExportImage& image, int xmin, int ymin) {
        const auto& backing = canvas::imageState().backing;
        for (int y = 0; y < image.height; ++y) {
            for (int x = 0; x < image.width; ++x) {
                const std::uint8_t* p = backing.pixel(xmin * 16 + x, ymin * 16 + y);
                ASSERT_EQ(image.color(x, y), (data::Rgb{p[2], p[1], p[0]})) << x << "," << y;
            }
        }
    }
};

}  // namespace

TEST_F(SpriteIndices, EightBitsKeepBlockAndIndexOfMixedCells) {
    renderAllWith(2);
    renderCellsWith(5, 6, 3, 4, 11);
    const auto image = spriteIndexedExport(0, 0, 15, 15, 8);
    ASSERT_EQ(image.bpp, 8);
    ASSERT_EQ(image.colorTable.size(), 256u);
    EXPECT_TRUE(
        std::equal(image.colorTable.begin(), image.colorTable.end(), data::paletteState().table.begin()));
    const auto& grid = data::patternState().grid;
    for (int y = 0; y < 256; ++y) {
        for (int x = 0; x < 256; ++x) {
            const bool changed = x / 16 >= 3 && x / 16 <= 5 && y / 16 >= 4 && y / 16 <= 6;
            ASSERT_EQ(image.pixels[y * 256 + x], (changed ? 11 : 2) * 16 + grid(x, y)) << x << "," << y;
        }
    }
    expectSameColorsAsPicture(image, 0, 0);
}

TEST_F(SpriteIndices, FourBitsUseTheOneBlockOfTheWrittenCells) {
    renderAllWith(0);
    renderCellsWith(2, 3, 4, 5, 13);
    const auto image = spriteIndexedExport(4, 5, 2, 3, 4);  // reversed corners
    EXPECT_EQ(image.width, 48);
    EXPECT_EQ(image.height, 48);
    ASSERT_EQ(image.colorTable.size(), 16u);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(image.colorTable[i], data::paletteState().table[13 * 16 + i]);
    const auto& grid = data::patternState().grid;
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 48; ++x) ASSERT_EQ(image.pixels[y * 48 + x], grid(32 + x, 48 + y));
    expectSameColorsAsPicture(image, 2, 3);
}

TEST_F(SpriteIndices, RefusesWhatItCannotWriteExactly) {
    renderAllWith(0);
    renderCellsWith(7, 7, 7, 7, 1);
    try {
        spriteIndexedExport(6, 6, 8, 8, 4);
        FAIL() << "mixed blocks at 4 bits were written";
    } catch (const platform::Failure& f) {
        EXPECT_NE(f.message().find("cell 7,7 has palette block 1"), std::string::npos) << f.message();
    }
    EXPECT_NO_THROW(spriteIndexedExport(6, 6, 8, 8, 8));
    EXPECT_THROW(spriteIndexedExport(0, 0, 15, 15, 24), platform::Failure);

    // Before any load nothing is rendered: white has no index.
    nrbx::testing::resetCore();
    EXPECT_THROW(spriteIndexedExport(0, 0, 0, 0, 8), platform::Failure);
}
