#include "canvas/copy.h"

#include <gtest/gtest.h>

#include "canvas/canvas_support.h"
#include "canvas/palette_block.h"
#include "canvas/picture_mouse.h"
#include "canvas/selection.h"
#include "platform/cursor.h"
#include "support/test_support.h"

using namespace nrbx::canvas;
using namespace nrbx::testing;
using nrbx::data::CellGrid;
using nrbx::platform::AppCursor;

namespace {

std::array<std::uint8_t, 256> cellOf(const CellGrid& grid, int cx, int cy) {
    std::array<std::uint8_t, 256> out{};
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) out[y * 16 + x] = grid(cx * 16 + x, cy * 16 + y);
    return out;
}

class CopyTest : public CoreTest {
  protected:
    void SetUp() override {
        CoreTest::SetUp();
        useTellingPalette();
        // Every cell differs from every other, and pixels inside a cell differ too.
        CellGrid grid;
        for (int y = 0; y < 256; ++y)
            for (int x = 0; x < 256; ++x)
                grid(x, y) = static_cast<std::uint8_t>((x / 16 * 7 + y / 16 * 3 + x + 2 * y) % 16);
        nrbx::data::setPatternGrid(grid);
        RenderCells(0, 0, 15, 15);
        before = grid;
    }
    const CellGrid& grid() { return nrbx::data::patternState().grid; }
    void select(int cx0, int cy0, int cx1, int cy1) {
        pictureMouseDown(MouseButton::Left, cx0 * 16 + 8, cy0 * 16 + 8);
        pictureMouseMove(cx1 * 16 + 8, cy1 * 16 + 8);
        pictureMouseUp(MouseButton::Left);
    }
    void clickCell(int cx, int cy) {
        pictureMouseDown(MouseButton::Left, cx * 16 + 3, cy * 16 + 3);
        pictureMouseUp(MouseButton::Left);
    }
    const CellRect& sel() const { return selectionState().selection; }

    CellGrid before;
};

}  // namespace

TEST_F(CopyTest, CopyRemembersTheOrderedSelectionAndShowsTheDragCursor) {
    std::vector<AppCursor> shown;
    nrbx::platform::setAppCursorHandler([&](AppCursor c) { shown.push_back(c); });
    select(5, 9, 2, 7);
    const auto view = imageState().view;
    startCopy();
    EXPECT_TRUE(copyState().copyMode);
    EXPECT_EQ(copyState().source, (CellRect{2, 7, 5, 9}));
    EXPECT_EQ(sel(), (CellRect{5, 9, 2, 7}));
    EXPECT_EQ(imageState().view, view);  // no redraw
    EXPECT_EQ(shown, std::vector<AppCursor>{AppCursor::Drag});
    cancelCopy();
    EXPECT_EQ(shown, (std::vector<AppCursor>{AppCursor::Drag, AppCursor::Default}));
    EXPECT_FALSE(copyState().copyMode);
}

TEST_F(CopyTest, PreviewAndPlacementAreCutOffAtTheRightAndBottomEdges) {
    select(2, 7, 5, 9);
    startCopy();
    pictureMouseMove(14 * 16 + 5, 15 * 16 + 5);
    EXPECT_EQ(sel(), (CellRect{14, 15, 15, 15}));
    // The preview shows source cells 2..3 x 7 over cells 14..15 x 15, in the current block.
    EXPECT_EQ(pixelOf(imageState().view, 14 * 16 + 8, 15 * 16 + 8),
              tellingColor(0, before(2 * 16 + 8, 7 * 16 + 8)));
    EXPECT_EQ(pixelOf(imageState().view, 15 * 16 + 9, 15 * 16 + 4),
              tellingColor(0, before(3 * 16 + 9, 7 * 16 + 4)));
    EXPECT_EQ(pixelOf(imageState().view, 14 * 16, 15 * 16), kBlack);  // frame on top
    EXPECT_EQ(grid(), before);                                        // previewing changes no index

    pictureMouseDown(MouseButton::Left, 14 * 16 + 5, 15 * 16 + 5);
    pictureMouseUp(MouseButton::Left);
    EXPECT_EQ(cellOf(grid(), 14, 15), cellOf(before, 2, 7));
    EXPECT_EQ(cellOf(grid(), 15, 15), cellOf(before, 3, 7));
    for (int cy = 0; cy < 16; ++cy)
        for (int cx = 0; cx < 16; ++cx)
            if (cy != 15 || cx < 14) {
                ASSERT_EQ(cellOf(grid(), cx, cy), cellOf(before, cx, cy)) << cx << "," << cy;
            }
    EXPECT_FALSE(copyState().copyMode);
    EXPECT_EQ(nrbx::platform::currentAppCursor(), AppCursor::Default);
}

TEST_F(CopyTest, OverlappingPlacementsGiveExactCopiesBothWays) {
    select(0, 0, 3, 0);
    startCopy();
    pictureMouseMove(1 * 16, 0);
    pictureMouseDown(MouseButton::Left, 1 * 16, 0);
    pictureMouseUp(MouseButton::Left);
    for (int c = 0; c < 4; ++c) EXPECT_EQ(cellOf(grid(), c + 1, 0), cellOf(before, c, 0)) << "right " << c;
    EXPECT_EQ(cellOf(grid(), 0, 0), cellOf(before, 0, 0));

    const CellGrid middle = grid();
    select(1, 0, 4, 0);
    startCopy();
    pictureMouseMove(0, 0);
    pictureMouseDown(MouseButton::Left, 0, 0);
    pictureMouseUp(MouseButton::Left);
    for (int c = 0; c < 4; ++c) EXPECT_EQ(cellOf(grid(), c, 0), cellOf(middle, c + 1, 0)) << "left " << c;
    EXPECT_EQ(cellOf(grid(), 4, 0), cellOf(middle, 4, 0));
}

TEST_F(CopyTest, PlacementWithoutAMoveUsesTheStoredCorners) {
    // Made left-to-right: the cells land on themselves and are rendered again.
    select(1, 1, 2, 2);
    startCopy();
    changePaletteBlock(6);  // selection cells now in block 6...
    changePaletteBlock(4);  // ...then 4; the placement renders with 4 too
    pictureMouseDown(MouseButton::Left, 200, 200);
    pictureMouseUp(MouseButton::Left);
    EXPECT_EQ(grid(), before);
    EXPECT_EQ(pixelOf(imageState().backing, 16 + 5, 16 + 5), tellingColor(4, before(21, 21)));

    // Made right-to-left: nothing is copied or rendered, copy mode still ends.
    changePaletteBlock(0);
    select(9, 9, 7, 7);
    const auto backing = imageState().backing;
    startCopy();
    changePaletteBlock(0);
    const auto backingAfterBlock = imageState().backing;
    pictureMouseDown(MouseButton::Left, 10, 10);
    EXPECT_FALSE(copyState().copyMode);
    EXPECT_EQ(nrbx::platform::currentAppCursor(), AppCursor::Default);
    EXPECT_EQ(imageState().backing, backingAfterBlock);
    pictureMouseUp(MouseButton::Left);
    EXPECT_EQ(grid(), before);
    EXPECT_EQ(pixelOf(imageState().view, 7 * 16, 7 * 16), kBlack);  // frame around the ordered selection
    EXPECT_EQ(backing, backingAfterBlock);
}

TEST_F(CopyTest, IndicesAreCopiedAndShownInTheCurrentBlock) {
    clickCell(0, 0);
    changePaletteBlock(3);
    startCopy();
    changePaletteBlock(5);  // renders the selection (cell 0,0) with block 5 while in copy mode
    pictureMouseMove(8 * 16 + 1, 8 * 16 + 1);
    EXPECT_EQ(pixelOf(imageState().view, 8 * 16 + 7, 8 * 16 + 7), tellingColor(5, before(7, 7)));
    pictureMouseDown(MouseButton::Left, 8 * 16 + 1, 8 * 16 + 1);
    pictureMouseUp(MouseButton::Left);
    EXPECT_EQ(cellOf(grid(), 8, 8), cellOf(before, 0, 0));
    EXPECT_EQ(pixelOf(imageState().backing, 8 * 16 + 7, 8 * 16 + 7), tellingColor(5, before(7, 7)));
    EXPECT_EQ(imageState().cellBlock[8][8], 5);
}

TEST_F(CopyTest, PreviewReadsTheLiveGridAfterALoad) {
    clickCell(2, 2);
    startCopy();
    fillCell(2, 2, 13);  // as a pattern load in copy mode would change it
    pictureMouseMove(5 * 16, 5 * 16);
    EXPECT_EQ(pixelOf(imageState().view, 5 * 16 + 6, 5 * 16 + 6), tellingColor(0, 13));
    pictureMouseDown(MouseButton::Left, 5 * 16, 5 * 16);
    EXPECT_EQ(grid()(5 * 16 + 6, 5 * 16 + 6), 13);
}

TEST_F(CopyTest, DoubleClickPlacesThenStartsANewSingleCellSelection) {
    select(0, 0, 2, 2);
    startCopy();
    pictureMouseMove(10 * 16, 10 * 16);
    pictureMouseDown(MouseButton::Left, 10 * 16, 10 * 16);
    pictureMouseUp(MouseButton::Left);
    pictureMouseDown(MouseButton::Left, 11 * 16 + 2, 11 * 16 + 2);
    pictureMouseUp(MouseButton::Left);
    EXPECT_EQ(sel(), (CellRect{11, 11, 11, 11}));
    EXPECT_EQ(cellOf(grid(), 12, 12), cellOf(before, 2, 2));
}

TEST_F(CopyTest, MovesAfterPlacementWithTheButtonHeldSpanFromThePlacedCorner) {
    select(0, 0, 2, 2);
    startCopy();
    pictureMouseMove(6 * 16 + 1, 6 * 16 + 1);
    pictureMouseDown(MouseButton::Left, 6 * 16 + 1, 6 * 16 + 1);
    pictureMouseMove(6 * 16 + 5, 6 * 16 + 4);  // jitter inside the top-left cell
    pictureMouseUp(MouseButton::Left);
    EXPECT_EQ(sel(), (CellRect{6, 6, 6, 6}));
    EXPECT_EQ(cellOf(grid(), 8, 8), cellOf(before, 2, 2));
}

TEST_F(CopyTest, PreviewMovesFromOutsideThePictureStayInRange) {
    select(3, 3, 5, 4);
    startCopy();
    pictureMouseMove(-40, -300);
    EXPECT_EQ(sel(), (CellRect{0, 0, 2, 1}));
    pictureMouseMove(1000, 256);
    EXPECT_EQ(sel(), (CellRect{15, 15, 15, 15}));
    pictureMouseDown(MouseButton::Left, 1000, 256);
    EXPECT_EQ(cellOf(grid(), 15, 15), cellOf(before, 3, 3));
}

TEST_F(CopyTest, CancelWithoutAMoveChangesNothingButTheFrame) {
    select(4, 4, 6, 6);
    const auto backing = imageState().backing;
    startCopy();
    cancelCopy();
    EXPECT_EQ(sel(), (CellRect{4, 4, 6, 6}));
    EXPECT_EQ(grid(), before);
    EXPECT_EQ(imageState().backing, backing);
    EXPECT_EQ(imageState().view, backing);
}

TEST_F(CopyTest, RightAndMiddlePressesInCopyModeDoNothing) {
    clickCell(1, 1);
    startCopy();
    pictureMouseDown(MouseButton::Right, 100, 100);
    pictureMouseDown(MouseButton::Middle, 100, 100);
    EXPECT_TRUE(copyState().copyMode);
    EXPECT_EQ(grid(), before);
    pictureMouseUp(MouseButton::Right);
    EXPECT_TRUE(copyState().copyMode);
}

TEST_F(CopyTest, PasteCellsIgnoresCellsOutsideThePicture) {
    PasteCells(14, 14, 17, 17, 0, 0);
    EXPECT_EQ(cellOf(grid(), 15, 15), cellOf(before, 1, 1));
    PasteCells(0, 0, 1, 1, 15, 15);  // source runs off the edge: only cell (0, 0) is copied
    EXPECT_EQ(cellOf(grid(), 0, 0), cellOf(grid(), 15, 15));
    EXPECT_EQ(cellOf(grid(), 1, 1), cellOf(before, 1, 1));
}
