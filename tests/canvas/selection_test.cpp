#include "canvas/selection.h"
#include "canvas/picture_mouse.h"
#include "canvas/view.h"

#include <gtest/gtest.h>

#include "canvas/canvas_support.h"
#include "support/test_support.h"

using namespace nrbx::canvas;
using namespace nrbx::testing;

namespace {

class SelectionTest : public CoreTest {
  protected:
    const CellRect& sel() const { return selectionState().selection; }
    const Image24& view() const { return imageState().view; }

    // Checks the three rings of the pixel rectangle left..right x top..bottom and one pixel inside them.
    void expectFrame(int left, int top, int right, int bottom) {
        const Bgr rings[3] = {kBlack, kBlue, kWhite};
        for (int k = 0; k < 3; ++k) {
            for (int x = left + k; x <= right - k; ++x) {
                ASSERT_EQ(pixelOf(view(), x, top + k), rings[k]) << "ring " << k << " x " << x;
                ASSERT_EQ(pixelOf(view(), x, bottom - k), rings[k]) << "ring " << k << " x " << x;
            }
            for (int y = top + k; y <= bottom - k; ++y) {
                ASSERT_EQ(pixelOf(view(), left + k, y), rings[k]) << "ring " << k << " y " << y;
                ASSERT_EQ(pixelOf(view(), right - k, y), rings[k]) << "ring " << k << " y " << y;
            }
        }
    }

    // Every view pixel outside the three rings equals the backing image.
    void expectOnlyFrameDiffers(int left, int top, int right, int bottom) {
        for (int y = 0; y < 256; ++y) {
            for (int x = 0; x < 256; ++x) {
                const bool inRings = x >= left && x <= right && y >= top && y <= bottom &&
                                     (x <= left + 2 || x >= right - 2 || y <= top + 2 || y >= bottom - 2);
                if (!inRings) {
                    ASSERT_EQ(pixelOf(view(), x, y), pixelOf(imageState().backing, x, y)) << x << "," << y;
                }
            }
        }
    }
};

}  // namespace

TEST(SelectionHelpers, ClampAndOrder) {
    EXPECT_EQ(ClampInt(-1, 0, 15), 0);
    EXPECT_EQ(ClampInt(16, 0, 15), 15);
    EXPECT_EQ(ClampInt(7, 0, 15), 7);
    EXPECT_EQ(OrderPair(3, 1), (std::pair{1, 3}));
    EXPECT_EQ(OrderPair(1, 3), (std::pair{1, 3}));
    EXPECT_EQ(OrderPair(-2, -2), (std::pair{-2, -2}));
}

TEST_F(SelectionTest, DragIsStoredUnorderedAndFramedOrdered) {
    useTellingPalette();
    fillCell(5, 5, 3);
    RenderCells(0, 0, 15, 15);
    pictureMouseDown(MouseButton::Left, 10 * 16 + 4, 3 * 16 + 9);
    pictureMouseMove(2 * 16 + 1, 12 * 16 + 15);
    pictureMouseUp(MouseButton::Left);
    EXPECT_EQ(sel(), (CellRect{10, 3, 2, 12}));
    EXPECT_FALSE(selectionState().dragging);
    EXPECT_EQ(pixelOf(view(), 32, 48), kBlack);
    EXPECT_EQ(pixelOf(view(), 175, 207), kBlack);
    expectFrame(32, 48, 175, 207);
    expectOnlyFrameDiffers(32, 48, 175, 207);
    EXPECT_EQ(orderedSelection(), (CellRect{2, 3, 10, 12}));
}

TEST_F(SelectionTest, ClickWithoutMovementSelectsTheCellAndFramesItOnRelease) {
    SelectAll();
    const auto framedAll = view();
    pictureMouseDown(MouseButton::Left, 7 * 16 + 3, 9 * 16 + 3);
    EXPECT_TRUE(selectionState().dragging);
    EXPECT_EQ(sel(), (CellRect{7, 9, 7, 9}));
    EXPECT_EQ(view(), framedAll);  // the press does not redraw
    pictureMouseUp(MouseButton::Left);
    expectFrame(112, 144, 127, 159);
    expectOnlyFrameDiffers(112, 144, 127, 159);
}

TEST_F(SelectionTest, DraggingPastAnEdgeStopsAtThatEdge) {
    pictureMouseDown(MouseButton::Left, 100, 100);
    pictureMouseMove(400, 300);
    EXPECT_EQ(sel(), (CellRect{6, 6, 15, 15}));
    pictureMouseMove(-5, -5);  // truncation toward zero gives cell 0
    EXPECT_EQ(sel(), (CellRect{6, 6, 0, 0}));
    pictureMouseMove(-20, 256);  // cell -1 clamped to 0; cell 16 clamped to 15
    EXPECT_EQ(sel(), (CellRect{6, 6, 0, 15}));
    pictureMouseMove(271, -31);
    EXPECT_EQ(sel(), (CellRect{6, 6, 15, 0}));
}

TEST_F(SelectionTest, SelectAllRingsFollowThePictureBorder) {
    useTellingPalette();
    fillCell(0, 0, 2);
    RenderCells(0, 0, 15, 15);
    SelectAll();
    EXPECT_EQ(sel(), (CellRect{0, 0, 15, 15}));
    expectFrame(0, 0, 255, 255);
    expectOnlyFrameDiffers(0, 0, 255, 255);
    EXPECT_EQ(pixelOf(view(), 3, 3), tellingColor(0, 2));
}

TEST_F(SelectionTest, LastCellFrameLeavesItsInnerPixels) {
    useTellingPalette();
    fillCell(15, 15, 6);
    RenderCells(0, 0, 15, 15);
    pictureMouseDown(MouseButton::Left, 250, 250);
    pictureMouseUp(MouseButton::Left);
    expectFrame(240, 240, 255, 255);
    for (int y = 243; y <= 252; ++y)
        for (int x = 243; x <= 252; ++x) ASSERT_EQ(pixelOf(view(), x, y), tellingColor(0, 6));
}

TEST_F(SelectionTest, FirstRedrawFramesTheInitialCell) {
    useTellingPalette();
    fillCell(0, 0, 5);
    RenderCells(0, 0, 15, 15);
    RedrawView();
    EXPECT_EQ(pixelOf(view(), 0, 0), kBlack);
    EXPECT_EQ(pixelOf(view(), 1, 1), kBlue);
    EXPECT_EQ(pixelOf(view(), 2, 2), kWhite);
    EXPECT_EQ(pixelOf(view(), 3, 3), tellingColor(0, 5));
}

TEST_F(SelectionTest, FrameNeverReachesTheBackingImage) {
    useTellingPalette();
    RenderCells(0, 0, 15, 15);
    const auto clean = imageState().backing;
    SelectAll();
    pictureMouseDown(MouseButton::Left, 30, 30);
    pictureMouseMove(200, 90);
    pictureMouseUp(MouseButton::Left);
    EXPECT_EQ(imageState().backing, clean);
    EXPECT_NE(view(), clean);
}

TEST_F(SelectionTest, RightOrMiddleReleaseEndsADrag) {
    for (auto button : {MouseButton::Right, MouseButton::Middle}) {
        pictureMouseDown(MouseButton::Left, 16, 16);
        pictureMouseMove(60, 60);
        pictureMouseUp(button);
        EXPECT_FALSE(selectionState().dragging) << static_cast<int>(button);
        pictureMouseMove(200, 200);  // left still held: nothing changes any more
        EXPECT_EQ(sel(), (CellRect{1, 1, 3, 3})) << static_cast<int>(button);
    }
}

TEST_F(SelectionTest, OtherButtonsAndIdleMovesChangeNothing) {
    pictureMouseDown(MouseButton::Left, 40, 40);
    pictureMouseUp(MouseButton::Left);
    const auto framed = view();
    pictureMouseDown(MouseButton::Right, 200, 200);
    pictureMouseDown(MouseButton::Middle, 200, 200);
    EXPECT_FALSE(selectionState().dragging);
    pictureMouseMove(180, 10);
    EXPECT_EQ(sel(), (CellRect{2, 2, 2, 2}));
    EXPECT_EQ(view(), framed);
    pictureMouseUp(MouseButton::Right);  // redraws without changing the selection
    EXPECT_EQ(sel(), (CellRect{2, 2, 2, 2}));
    EXPECT_EQ(view(), framed);
}
