#include "canvas/images.h"

#include <gtest/gtest.h>

#include "canvas/canvas_support.h"
#include "canvas/palette_block.h"
#include "canvas/picture_mouse.h"
#include "canvas/selection.h"
#include "support/test_support.h"

using namespace nrbx::canvas;
using namespace nrbx::testing;

namespace {
class Rendering : public CoreTest {};
}  // namespace

TEST_F(Rendering, ImagesStartWhiteAndEqual) {
    const auto& s = imageState();
    EXPECT_EQ(s.backing, s.view);
    EXPECT_EQ(pixelOf(s.backing, 0, 0), kWhite);
    EXPECT_EQ(pixelOf(s.backing, 255, 255), kWhite);
}

TEST_F(Rendering, SplitColorGivesBlueGreenRed) {
    EXPECT_EQ(SplitColor(nrbx::data::Rgb{1, 2, 3}), (std::array<std::uint8_t, 3>{3, 2, 1}));
}

TEST_F(Rendering, FullRenderUsesTheCurrentBlockForEveryPixel) {
    useTellingPalette();
    nrbx::data::CellGrid grid;
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) grid(x, y) = static_cast<std::uint8_t>((x + 3 * y) % 16);
    nrbx::data::setPatternGrid(grid);
    setPaletteBlock(7);
    RenderCells(0, 0, 15, 15);
    const auto& s = imageState();
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) ASSERT_EQ(pixelOf(s.backing, x, y), tellingColor(7, (x + 3 * y) % 16));
    EXPECT_EQ(s.view, s.backing);
    EXPECT_EQ(s.cellBlock[0][0], 7);
    EXPECT_EQ(s.cellBlock[15][15], 7);
}

TEST_F(Rendering, SingleCellRenderLeavesEveryOtherPixelUntouched) {
    useTellingPalette();
    fillCell(15, 15, 9);
    fillCell(14, 15, 9);
    setPaletteBlock(2);
    RenderCells(15, 15, 15, 15);
    const auto& s = imageState();
    for (int y = 0; y < 256; ++y) {
        for (int x = 0; x < 256; ++x) {
            const bool inside = x >= 240 && y >= 240;
            ASSERT_EQ(pixelOf(s.backing, x, y), inside ? tellingColor(2, 9) : kWhite) << x << "," << y;
        }
    }
    EXPECT_EQ(s.cellBlock[15][15], 2);
    EXPECT_EQ(s.cellBlock[15][14], kNeverRendered);
}

TEST_F(Rendering, EmptyRectangleRendersNothingButResetsTheView) {
    SelectAll();  // a frame in the view
    ASSERT_NE(imageState().view, imageState().backing);
    const auto backing = imageState().backing;
    RenderCells(5, 5, 4, 5);
    RenderCells(5, 5, 5, 4);
    EXPECT_EQ(imageState().backing, backing);
    EXPECT_EQ(imageState().view, backing);
}

TEST_F(Rendering, CellsKeepTheBlockTheyWereLastRenderedWith) {
    useTellingPalette();
    fillCell(0, 0, 1);
    fillCell(1, 0, 1);
    RenderCells(0, 0, 15, 15);
    // Select cell (1, 0) and change block: only that cell changes.
    pictureMouseDown(MouseButton::Left, 20, 5);
    pictureMouseUp(MouseButton::Left);
    changePaletteBlock(10);
    EXPECT_EQ(pixelOf(imageState().backing, 5, 5), tellingColor(0, 1));
    EXPECT_EQ(pixelOf(imageState().backing, 21, 5), tellingColor(10, 1));
    EXPECT_EQ(imageState().cellBlock[0][1], 10);
    EXPECT_EQ(imageState().cellBlock[0][0], 0);
    // A full render later replaces every per-cell choice.
    RenderCells(0, 0, 15, 15);
    EXPECT_EQ(pixelOf(imageState().backing, 5, 5), tellingColor(10, 1));
}

TEST_F(Rendering, BlockChangeBeforeAnyLoadPaintsTheSelectionBlack) {
    changePaletteBlock(3);
    EXPECT_EQ(blockText(3), "03");
    EXPECT_EQ(pixelOf(imageState().backing, 8, 8), kBlack);
    EXPECT_EQ(pixelOf(imageState().backing, 16, 0), kWhite);
}

TEST_F(Rendering, BlockTextHasTwoDigits) {
    EXPECT_EQ(blockText(0), "00");
    EXPECT_EQ(blockText(9), "09");
    EXPECT_EQ(blockText(10), "10");
    EXPECT_EQ(blockText(15), "15");
}

TEST_F(Rendering, BlockChangeRendersTheOrderedSelectionWhicheverCornerIsTheAnchor) {
    useTellingPalette();
    for (int cy = 0; cy < 16; ++cy)
        for (int cx = 0; cx < 16; ++cx) fillCell(cx, cy, 4);
    RenderCells(0, 0, 15, 15);
    pictureMouseDown(MouseButton::Left, 3 * 16 + 2, 2 * 16 + 2);
    pictureMouseMove(1 * 16 + 8, 5 * 16 + 8);
    pictureMouseUp(MouseButton::Left);
    changePaletteBlock(5);
    for (int cy = 0; cy < 16; ++cy) {
        for (int cx = 0; cx < 16; ++cx) {
            const bool selected = cx >= 1 && cx <= 3 && cy >= 2 && cy <= 5;
            EXPECT_EQ(pixelOf(imageState().backing, cx * 16 + 8, cy * 16 + 8),
                      tellingColor(selected ? 5 : 0, 4))
                << cx << "," << cy;
        }
    }
}
