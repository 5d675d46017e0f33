// The picture readers: what nrbx writes reads back to the same pixels, and hostile files are refused.

#include "import/picture.h"

#include <gtest/gtest.h>

#include <zlib.h>

#include <random>

#include "export/bmp_writer.h"
#include "export/png/png_writer.h"
#include "platform/failure.h"

namespace nrbx::importing {
namespace {

exporting::ExportImage randomImage(int width, int height, int bpp, unsigned seed) {
    std::mt19937 random(seed);
    exporting::ExportImage image;
    image.width = width;
    image.height = height;
    image.bpp = bpp;
    const int entries = bpp == 24 ? 0 : 1 << bpp;
    for (int k = 0; k < entries; ++k)
        image.colorTable.push_back(
            data::Rgb{std::uint8_t(random()), std::uint8_t(random()), std::uint8_t(random())});
    image.pixels.resize(std::size_t(width) * height * (bpp == 24 ? 3 : 1));
    for (auto& p : image.pixels) p = std::uint8_t(random() % (bpp == 24 ? 256 : entries));
    return image;
}

std::vector<std::uint8_t> bmpFile(const exporting::ExportImage& image) {
    return exporting::encodeBmp(image);
}

void expectSamePixels(const Picture& picture, const exporting::ExportImage& image) {
    ASSERT_EQ(picture.width, image.width);
    ASSERT_EQ(picture.height, image.height);
    EXPECT_EQ(picture.indexed, image.bpp != 24);
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            const data::Rgb c = image.color(x, y);
            const std::uint8_t* p = picture.pixel(x, y);
            ASSERT_EQ((data::Rgb{p[0], p[1], p[2]}), c) << x << "," << y;
            ASSERT_EQ(p[3], 255);
            if (picture.indexed) {
                const std::size_t i = std::size_t(y) * image.width + x;
                ASSERT_EQ(picture.indices[i], image.pixels[i]);
            }
        }
    }
}

std::string failureOf(const std::vector<std::uint8_t>& content) {
    try {
        decodePicture(content, "x");
    } catch (const platform::Failure& failure) {
        return failure.message();
    }
    return "";
}

TEST(PictureRead, EveryDepthNrbxWritesReadsBackInBothFormats) {
    for (int bpp : {24, 8, 4}) {
        SCOPED_TRACE(bpp);
        // An odd width at 4 bits pads its rows in both formats.
        const exporting::ExportImage image = randomImage(bpp == 4 ? 47 : 48, 32, bpp, unsigned(bpp));
        expectSamePixels(decodePicture(exporting::encodePng(image), "x.png"), image);
        expectSamePixels(decodePicture(bmpFile(image), "x.bmp"), image);
    }
}

TEST(PictureRead, TopDownBmpReadsLikeBottomUp) {
    const exporting::ExportImage image = randomImage(16, 32, 8, 5);
    std::vector<std::uint8_t> file = bmpFile(image);
    const std::size_t pixelsAt = file.size() - 16 * 32;
    std::vector<std::uint8_t> flipped(file.begin(), file.begin() + long(pixelsAt));
    for (int row = 31; row >= 0; --row)
        flipped.insert(flipped.end(), file.begin() + long(pixelsAt) + row * 16,
                       file.begin() + long(pixelsAt) + row * 16 + 16);
    const std::int32_t negative = -32;
    for (int i = 0; i < 4; ++i) flipped[22 + i] = std::uint8_t(std::uint32_t(negative) >> (8 * i));
    expectSamePixels(decodePicture(flipped, "x.bmp"), image);
}

TEST(PictureRead, HostileAndUnsupportedFilesAreRefusedWithTheirReason) {
    const exporting::ExportImage image = randomImage(16, 16, 8, 7);
    std::vector<std::uint8_t> png = exporting::encodePng(image);
    std::vector<std::uint8_t> bmp = bmpFile(image);

    EXPECT_EQ(failureOf({'G', 'I', 'F', '8'}), "picture x is neither PNG nor BMP");
    EXPECT_EQ(failureOf(std::vector<std::uint8_t>(png.begin(), png.begin() + 60)),
              "picture x is not a readable PNG: truncated file");
    std::vector<std::uint8_t> badCrc = png;
    badCrc[30] ^= 1;  // inside IHDR
    EXPECT_EQ(failureOf(badCrc), "picture x is not a readable PNG: IHDR: CRC error");
    EXPECT_EQ(failureOf(exporting::encodePng(randomImage(272, 16, 24, 1))),
              "picture x is 272 x 16 pixels; at most 256 x 256 fit the sprites");
    // A header claiming 65536 x 65536 over a 16 x 16 picture's data is refused before decoding.
    std::vector<std::uint8_t> huge = png;
    huge[17] = huge[21] = 1;
    huge[19] = huge[23] = 0;
    const std::uint32_t crc = std::uint32_t(::crc32(0, huge.data() + 12, 17));
    for (int i = 0; i < 4; ++i) huge[29 + i] = std::uint8_t(crc >> (24 - 8 * i));
    EXPECT_EQ(failureOf(huge), "picture x is 65536 x 65536 pixels; at most 256 x 256 fit the sprites");

    std::vector<std::uint8_t> bmp16 = bmp;
    bmp16[28] = 16;
    EXPECT_EQ(failureOf(bmp16), "picture x: 16-bit BMP is not supported (24, 8 or 4 bits)");
    std::vector<std::uint8_t> rle = bmp;
    rle[30] = 1;
    EXPECT_EQ(failureOf(rle), "picture x: compressed (RLE) BMP is not supported; save it uncompressed");
    EXPECT_EQ(failureOf(std::vector<std::uint8_t>(bmp.begin(), bmp.end() - 1)),
              "picture x: truncated BMP pixels");
    std::vector<std::uint8_t> minHeight = bmp;
    for (int i = 0; i < 4; ++i) minHeight[22 + i] = i == 3 ? 0x80 : 0;
    EXPECT_EQ(failureOf(minHeight),
              "picture x: BMP of 16 x 2147483648 pixels; at most 256 x 256 fit the sprites");
    std::vector<std::uint8_t> shortTable = bmp;
    shortTable[46] = 4;  // four colours, and a pixel uses a later one
    shortTable[47] = 0;
    shortTable[bmp.size() - 16 * 16] = 9;
    EXPECT_EQ(failureOf(shortTable).substr(0, 28), "picture x is corrupt: pixel ");
}

}  // namespace
}  // namespace nrbx::importing
