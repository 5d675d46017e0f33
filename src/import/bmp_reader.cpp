// Uncompressed Windows BMP pictures at 24, 8 and 4 bits, bottom-up or top-down: every BMP nrbx writes.

#include <cstdlib>

#include "import/picture.h"
#include "platform/failure.h"

namespace nrbx::importing {

namespace {

constexpr std::size_t kFileHeaderBytes = 14;

std::uint32_t get16(std::span<const std::uint8_t> c, std::size_t at) {
    return std::uint32_t(c[at]) | std::uint32_t(c[at + 1]) << 8;
}
std::uint32_t get32(std::span<const std::uint8_t> c, std::size_t at) {
    return get16(c, at) | get16(c, at + 2) << 16;
}

platform::Failure refused(const std::string& name, const std::string& why) {
    return platform::Failure(platform::FailureKind::Other, "picture " + name + ": " + why);
}

}  // namespace

Picture decodeBmp(std::span<const std::uint8_t> c, const std::string& name) {
    if (c.size() < kFileHeaderBytes + 4) throw refused(name, "truncated BMP header");
    const std::uint32_t pixelOffset = get32(c, 10);
    const std::uint32_t infoSize = get32(c, 14);
    // BITMAPINFOHEADER and its later extensions; the 12-byte OS/2 header is not written by anyone today.
    if (infoSize < 40 || infoSize > 1024)
        throw refused(name, "unsupported BMP header of " + std::to_string(infoSize) + " bytes");
    if (c.size() < kFileHeaderBytes + infoSize) throw refused(name, "truncated BMP header");
    const auto width = std::int32_t(get32(c, 18));
    const auto rawHeight = std::int32_t(get32(c, 22));
    const std::uint32_t bpp = get16(c, 28);
    const std::uint32_t compression = get32(c, 30);
    const std::uint32_t colorsUsed = get32(c, 46);

    if (bpp == 16 || bpp == 32)
        throw refused(name, std::to_string(bpp) + "-bit BMP is not supported (24, 8 or 4 bits)");
    if (compression == 1 || compression == 2)
        throw refused(name, "compressed (RLE) BMP is not supported; save it uncompressed");
    if (compression != 0) throw refused(name, "compressed BMP is not supported; save it uncompressed");
    if (bpp != 24 && bpp != 8 && bpp != 4)
        throw refused(name, std::to_string(bpp) + "-bit BMP is not supported (24, 8 or 4 bits)");
    // Both bounds before any use, so a height of INT32_MIN never reaches a negation.
    if (width <= 0 || width > kMaxPictureSide || rawHeight == 0 || rawHeight < -kMaxPictureSide ||
        rawHeight > kMaxPictureSide) {
        throw refused(name, "BMP of " + std::to_string(width) + " x " +
                                std::to_string(std::abs(std::int64_t(rawHeight))) +
                                " pixels; at most 256 x 256 fit the sprites");
    }
    const bool topDown = rawHeight < 0;
    const int height = topDown ? -rawHeight : rawHeight;

    Picture picture;
    picture.width = width;
    picture.height = height;
    if (bpp <= 8) {
        const std::uint32_t entries = colorsUsed == 0 ? (1u << bpp) : colorsUsed;
        if (entries > (1u << bpp))
            throw refused(name, "BMP colour table of " + std::to_string(entries) + " entries");
        const std::size_t tableAt = kFileHeaderBytes + infoSize;
        if (c.size() < tableAt + 4 * std::size_t(entries)) throw refused(name, "truncated BMP colour table");
        for (std::uint32_t k = 0; k < entries; ++k) {
            const std::size_t at = tableAt + 4 * k;
            picture.table.push_back(data::Rgb{c[at + 2], c[at + 1], c[at]});
        }
        picture.indexed = true;
    }

    const std::size_t stride = (std::size_t(width) * bpp + 31) / 32 * 4;
    if (pixelOffset > c.size() || c.size() - pixelOffset < stride * height)
        throw refused(name, "truncated BMP pixels");
    const std::size_t count = std::size_t(width) * height;
    if (picture.indexed) {
        picture.indices.resize(count);
    } else {
        picture.rgba.resize(count * 4);
    }
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* in = c.data() + pixelOffset + (topDown ? y : height - 1 - y) * stride;
        const std::size_t row = std::size_t(y) * width;
        for (int x = 0; x < width; ++x) {
            if (bpp == 24) {
                std::uint8_t* out = picture.rgba.data() + (row + x) * 4;
                out[0] = in[x * 3 + 2];
                out[1] = in[x * 3 + 1];
                out[2] = in[x * 3];
                out[3] = 255;
            } else if (bpp == 8) {
                picture.indices[row + x] = in[x];
            } else {
                picture.indices[row + x] = x % 2 == 0 ? in[x / 2] >> 4 : in[x / 2] & 0x0F;
            }
        }
    }
    if (picture.indexed) expandIndices(picture, name);
    return picture;
}

}  // namespace nrbx::importing
