#include "export/bmp_writer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "canvas/canvas_support.h"
#include "canvas/copy.h"
#include "canvas/picture_mouse.h"
#include "canvas/selection.h"
#include "export/halftone.h"
#include "platform/failure.h"
#include "platform/file.h"
#include "support/test_support.h"

namespace fs = std::filesystem;
using namespace nrbx::exporting;
using namespace nrbx::testing;
using nrbx::canvas::imageState;
using nrbx::canvas::MouseButton;
using nrbx::canvas::RenderCells;

namespace {

class BmpExport : public CoreTest {
  protected:
    void SetUp() override {
        CoreTest::SetUp();
        useTellingPalette();
        nrbx::data::CellGrid grid;
        for (int y = 0; y < 256; ++y)
            for (int x = 0; x < 256; ++x) grid(x, y) = static_cast<std::uint8_t>((x * 5 + y * 3) / 7 % 16);
        nrbx::data::setPatternGrid(grid);
        RenderCells(0, 0, 15, 15);
    }

    std::vector<std::uint8_t> save(ExportImage image, int bpp, const std::string& name = "out.bmp") {
        SetExportDepth(image, bpp);
        WriteBmpFile(image, file(name));
        return readBytes(file(name));
    }

    void expectHeader(const std::vector<std::uint8_t>& f, int w, int h, int bpp, std::uint32_t entries) {
        const std::uint32_t stride = ((w * bpp + 31) / 32) * 4;
        ASSERT_GE(f.size(), 54u);
        EXPECT_EQ(f[0], 'B');
        EXPECT_EQ(f[1], 'M');
        EXPECT_EQ(le32(f, 2), f.size());
        EXPECT_EQ(le32(f, 6), 0u);
        EXPECT_EQ(le32(f, 10), 54 + 4 * entries);
        EXPECT_EQ(le32(f, 14), 40u);
        EXPECT_EQ(le32(f, 18), std::uint32_t(w));
        EXPECT_EQ(le32(f, 22), std::uint32_t(h));
        EXPECT_EQ(le16(f, 26), 1);
        EXPECT_EQ(le16(f, 28), bpp);
        EXPECT_EQ(le32(f, 30), 0u);
        EXPECT_EQ(le32(f, 34), stride * h);
        EXPECT_EQ(le32(f, 38), 0u);
        EXPECT_EQ(le32(f, 42), 0u);
        EXPECT_EQ(le32(f, 46), entries);
        EXPECT_EQ(le32(f, 50), 0u);
    }
};

}  // namespace

TEST_F(BmpExport, WholePictureSizesAndHeadersOfAllThreeDepths) {
    const auto f24 = save(wholePictureExport(), 24);
    EXPECT_EQ(f24.size(), 196662u);
    expectHeader(f24, 256, 256, 24, 0);
    const auto f8 = save(wholePictureExport(), 8);
    EXPECT_EQ(f8.size(), 66614u);
    expectHeader(f8, 256, 256, 8, 256);
    const auto f4 = save(wholePictureExport(), 4);
    EXPECT_EQ(f4.size(), 32886u);
    expectHeader(f4, 256, 256, 4, 16);
}

TEST_F(BmpExport, SingleCellSizes) {
    EXPECT_EQ(save(selectionExport(3, 4, 3, 4), 24).size(), 822u);
    EXPECT_EQ(save(selectionExport(3, 4, 3, 4), 8).size(), 1334u);
    EXPECT_EQ(save(selectionExport(3, 4, 3, 4), 4).size(), 246u);
    expectHeader(save(selectionExport(3, 4, 3, 4), 4), 16, 16, 4, 16);
}

TEST_F(BmpExport, TwentyFourBitRowsAreBottomUpCopiesOfTheBackingImage) {
    const auto f = save(wholePictureExport(), 24);
    const auto& backing = imageState().backing;
    for (int y = 0; y < 256; ++y) {
        const std::uint8_t* row = f.data() + 54 + (255 - y) * 768;
        ASSERT_TRUE(std::equal(row, row + 768, backing.row(y))) << "row " << y;
    }
}

TEST_F(BmpExport, SixteenColourTableIsTheFixedPaletteInOrder) {
    const auto f = save(wholePictureExport(), 4);
    EXPECT_EQ(std::vector<std::uint8_t>(f.begin() + 54, f.begin() + 62),
              (std::vector<std::uint8_t>{0, 0, 0, 0, 0, 0, 128, 0}));
    const auto& table = sixteenColorPalette();
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(f[54 + 4 * i], table[i].blue);
        EXPECT_EQ(f[54 + 4 * i + 1], table[i].green);
        EXPECT_EQ(f[54 + 4 * i + 2], table[i].red);
        EXPECT_EQ(f[54 + 4 * i + 3], 0);
    }
}

TEST_F(BmpExport, ReversedSelectionCornersGiveTheIdenticalFile) {
    for (int bpp : {24, 8, 4}) {
        const auto a = save(selectionExport(5, 7, 2, 3), bpp, "a.bmp");
        const auto b = save(selectionExport(2, 3, 5, 7), bpp, "b.bmp");
        EXPECT_EQ(a, b) << bpp;
        expectHeader(a, 64, 80, bpp, bpp == 24 ? 0 : 1u << bpp);
    }
    // The 64 x 80 image holds pixels x 32..95, y 48..127.
    const auto f = save(selectionExport(5, 7, 2, 3), 24);
    const auto& backing = imageState().backing;
    for (int y = 0; y < 80; ++y) {
        const std::uint8_t* row = f.data() + 54 + (79 - y) * 64 * 3;
        ASSERT_TRUE(std::equal(row, row + 64 * 3, backing.pixel(32, 48 + y))) << y;
    }
    EXPECT_EQ(save(selectionExport(0, 0, 15, 15), 8, "c.bmp"), save(wholePictureExport(), 8, "d.bmp"));
}

TEST_F(BmpExport, FrameAndPreviewNeverReachAFile) {
    const auto clean = save(wholePictureExport(), 24, "clean.bmp");
    nrbx::canvas::SelectAll();
    nrbx::canvas::pictureMouseDown(MouseButton::Left, 20, 20);
    nrbx::canvas::pictureMouseMove(100, 60);
    nrbx::canvas::pictureMouseUp(MouseButton::Left);
    nrbx::canvas::startCopy();
    nrbx::canvas::pictureMouseMove(150, 150);
    ASSERT_NE(imageState().view, imageState().backing);
    EXPECT_EQ(save(wholePictureExport(), 24, "framed.bmp"), clean);
    // In copy mode the selection is the preview's rectangle: its backing pixels are saved.
    const auto sel = nrbx::canvas::orderedSelection();
    EXPECT_EQ(sel.x0, 9);
    const auto f = save(selectionExport(sel.x0, sel.y0, sel.x1, sel.y1), 24, "sel.bmp");
    const std::uint8_t* top = f.data() + 54 + (f.size() - 54) - static_cast<std::size_t>(3 * 16 * 6);
    EXPECT_TRUE(std::equal(top, top + 3 * 16 * 6, imageState().backing.pixel(9 * 16, 9 * 16)));
}

TEST_F(BmpExport, ColoursOfTheSixteenColourPaletteSurviveFourBitsUnchanged) {
    auto table = nrbx::data::paletteState().table;
    const auto& basic = sixteenColorPalette();
    for (int i = 0; i < 16; ++i) table[i] = basic[i];
    nrbx::data::setPaletteTable(table);
    nrbx::canvas::setPaletteBlock(0);
    RenderCells(0, 0, 15, 15);
    ExportImage image = wholePictureExport();
    SetExportDepth(image, 4);
    for (int y = 0; y < 256; ++y) {
        for (int x = 0; x < 256; ++x) {
            const auto i = nrbx::data::patternState().grid(x, y);
            ASSERT_EQ(image.pixels[y * 256 + x], i) << x << "," << y;
        }
    }
    // Packed two to a byte, left pixel high, bottom row first.
    const auto f = save(wholePictureExport(), 4);
    const auto& grid = nrbx::data::patternState().grid;
    EXPECT_EQ(f[118], (grid(0, 255) << 4) | grid(1, 255));
    EXPECT_EQ(f.back(), (grid(254, 0) << 4) | grid(255, 0));
}

TEST_F(BmpExport, EightBitIndicesPointAtTheNearestTableColour) {
    ExportImage image = wholePictureExport();
    SetExportDepth(image, 8);
    ASSERT_EQ(image.colorTable.size(), 256u);
    // Convert back and compare with a plain nearest search over the whole table.
    const auto& table = halftonePalette();
    for (int y = 0; y < 256; y += 5) {
        for (int x = 0; x < 256; x += 3) {
            const std::uint8_t* p = imageState().backing.pixel(x, y);
            int best = 1 << 30;
            for (const auto& c : table) {
                const int d = (c.red - p[2]) * (c.red - p[2]) + (c.green - p[1]) * (c.green - p[1]) +
                              (c.blue - p[0]) * (c.blue - p[0]);
                best = std::min(best, d);
            }
            const auto got = table[image.pixels[y * 256 + x]];
            const int d = (got.red - p[2]) * (got.red - p[2]) + (got.green - p[1]) * (got.green - p[1]) +
                          (got.blue - p[0]) * (got.blue - p[0]);
            ASSERT_EQ(d, best) << x << "," << y;
        }
    }
}

TEST_F(BmpExport, ShortWriteLeavesAnExistingFileUntouchedAndNoTemporary) {
    const fs::path target = file("keep.bmp");
    writeBytes(target, {'k', 'e', 'e', 'p'});
    for (std::size_t budget : {0u, 10u, 54u, 100u, 1078u, 5000u}) {
        nrbx::platform::setFileFaults({.readBudget = {}, .writeBudget = budget});
        ExportImage image = wholePictureExport();
        SetExportDepth(image, 8);
        try {
            WriteBmpFile(image, target);
            ADD_FAILURE() << "no failure with budget " << budget;
        } catch (const nrbx::platform::Failure& f) {
            EXPECT_EQ(f.kind(), nrbx::platform::FailureKind::StreamWrite);
        }
        EXPECT_EQ(readBytes(target), (std::vector<std::uint8_t>{'k', 'e', 'e', 'p'})) << budget;
        EXPECT_EQ(std::distance(fs::directory_iterator(dir()), fs::directory_iterator()), 1) << budget;
    }
}

TEST_F(BmpExport, CreateFailuresNameTheChosenFile) {
    const std::string missing = (dir() / "gone" / "x.bmp").string();
    try {
        WriteBmpFile(wholePictureExport(), missing);
        FAIL();
    } catch (const nrbx::platform::Failure& f) {
        EXPECT_EQ(f.message(), "ファイル " + missing + " を作成できません");
    }
    if (runningAsRoot()) GTEST_SKIP() << "permission bits do not bind root";
    writeBytes(file("ro.bmp"), {1, 2});
    fs::permissions(file("ro.bmp"), fs::perms::owner_read);
    EXPECT_THROW(WriteBmpFile(wholePictureExport(), file("ro.bmp")), nrbx::platform::Failure);
    EXPECT_EQ(readBytes(file("ro.bmp")), (std::vector<std::uint8_t>{1, 2}));
}

TEST_F(BmpExport, PillowReadsBackTheExpectedPixelsAtEveryDepth) {
    // A decoder we did not write: Pillow compares each file with the pixels we meant to store.
    const fs::path script = fs::path(NRBX_TEST_SOURCE_DIR) / "export" / "pillow_check.py";
    for (int bpp : {24, 8, 4}) {
        ExportImage image = selectionExport(1, 2, 6, 4);
        SetExportDepth(image, bpp);
        const fs::path bmp = file("p" + std::to_string(bpp) + ".bmp");
        WriteBmpFile(image, bmp);
        std::ofstream rgb(file("expected.rgb"), std::ios::binary);
        for (int y = 0; y < image.height; ++y) {
            for (int x = 0; x < image.width; ++x) {
                const auto c = image.color(x, y);
                rgb.put(char(c.red)).put(char(c.green)).put(char(c.blue));
            }
        }
        rgb.close();
        const std::string cmd = std::string(NRBX_PYTHON) + " '" + script.string() + "' '" + bmp.string() +
                                "' '" + file("expected.rgb").string() + "' " + std::to_string(image.width) +
                                " " + std::to_string(image.height);
        EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
    }
}
