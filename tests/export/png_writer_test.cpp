#include "export/png/png_writer.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "canvas/images.h"
#include "data/pattern.h"
#include "export/export_image.h"
#include "platform/failure.h"
#include "platform/file.h"
#include "support/test_support.h"

namespace fs = std::filesystem;
using namespace nrbx;
using nrbx::testing::readBytes;
using nrbx::testing::writeBytes;

namespace {

class PngFile : public nrbx::testing::CoreTest {
  protected:
    void SetUp() override {
        CoreTest::SetUp();
        data::CellGrid grid;
        for (int y = 0; y < 256; ++y)
            for (int x = 0; x < 256; ++x) grid(x, y) = static_cast<std::uint8_t>((x ^ y) % 16);
        data::setPatternGrid(grid);
        canvas::RenderCells(0, 0, 15, 15);
    }

    static std::uint32_t be32(const std::vector<std::uint8_t>& b, std::size_t o) {
        return std::uint32_t(b.at(o)) << 24 | std::uint32_t(b.at(o + 1)) << 16 |
               std::uint32_t(b.at(o + 2)) << 8 | b.at(o + 3);
    }

    std::size_t entriesInFolder() const {
        return static_cast<std::size_t>(
            std::distance(fs::directory_iterator(dir()), fs::directory_iterator()));
    }
};

}  // namespace

TEST_F(PngFile, HeaderAndColourTableFollowTheDepth) {
    struct Case {
        int bpp;
        int bitDepth;
        int colorType;
        std::uint32_t plteBytes;
    };
    for (const Case c : {Case{24, 8, 2, 0}, Case{8, 8, 3, 768}, Case{4, 4, 3, 48}}) {
        auto image = exporting::selectionExport(1, 2, 3, 6);
        exporting::SetExportDepth(image, c.bpp);
        const auto png = exporting::encodePng(image);
        ASSERT_GT(png.size(), 33u);
        EXPECT_EQ(std::vector<std::uint8_t>(png.begin(), png.begin() + 8),
                  (std::vector<std::uint8_t>{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}));
        EXPECT_EQ(be32(png, 16), 48u);  // width
        EXPECT_EQ(be32(png, 20), 80u);  // height
        EXPECT_EQ(png[24], c.bitDepth);
        EXPECT_EQ(png[25], c.colorType);
        // The chunk after IHDR is PLTE for indexed images, with exactly the image's table.
        const bool hasPlte = std::string(png.begin() + 37, png.begin() + 41) == "PLTE";
        EXPECT_EQ(hasPlte, c.plteBytes != 0);
        if (hasPlte) {
            EXPECT_EQ(be32(png, 33), c.plteBytes);
            for (std::size_t i = 0; i < image.colorTable.size(); ++i) {
                EXPECT_EQ(png[41 + 3 * i], image.colorTable[i].red);
                EXPECT_EQ(png[42 + 3 * i], image.colorTable[i].green);
                EXPECT_EQ(png[43 + 3 * i], image.colorTable[i].blue);
            }
        }
        EXPECT_EQ(exporting::encodePng(image), png) << "the same picture gives the same bytes";
    }
}

TEST_F(PngFile, FailedWriteKeepsTheOldFileAndLeavesNoTemporary) {
    const auto target = file("pic.png");
    writeBytes(target, {'o', 'l', 'd'});
    platform::setFileFaults({.readBudget = {}, .writeBudget = 100});
    try {
        exporting::WritePngFile(exporting::wholePictureExport(), target);
        FAIL() << "a short write was not reported";
    } catch (const platform::Failure& f) {
        EXPECT_EQ(f.kind(), platform::FailureKind::StreamWrite);
        EXPECT_EQ(f.message(), "ストリームへの書き込みエラー");
    }
    EXPECT_EQ(readBytes(target), (std::vector<std::uint8_t>{'o', 'l', 'd'}));
    EXPECT_EQ(entriesInFolder(), 1u);

    platform::resetFileFaults();
    exporting::WritePngFile(exporting::wholePictureExport(), target);
    EXPECT_EQ(readBytes(target), exporting::encodePng(exporting::wholePictureExport()));
    EXPECT_EQ(entriesInFolder(), 1u);
}

TEST_F(PngFile, FolderMissingIsTheCreateFailureWithTheNameAsGiven) {
    const std::string target = (dir() / "no" / "pic.png").string();
    try {
        exporting::WritePngFile(exporting::wholePictureExport(), target);
        FAIL();
    } catch (const platform::Failure& f) {
        EXPECT_EQ(f.kind(), platform::FailureKind::FileCreate);
        EXPECT_EQ(f.message(), "ファイル " + target + " を作成できません");
    }
}

TEST_F(PngFile, NameOfTheLongestLegalLengthIsWritten) {
    const auto target = file(std::string(251, 'p') + ".png");
    writeBytes(target, {'o', 'l', 'd'});
    exporting::WritePngFile(exporting::wholePictureExport(), target);
    EXPECT_EQ(readBytes(target), exporting::encodePng(exporting::wholePictureExport()));
    EXPECT_EQ(entriesInFolder(), 1u);
}
