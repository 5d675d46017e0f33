#include "export/bmp_writer.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "export/image_ops.h"
#include "platform/file.h"

namespace nrbx::exporting {

namespace {

std::size_t strideOf(const ExportImage& image) {
    return ((static_cast<std::size_t>(image.width) * image.bpp + 31) / 32) * 4;
}

void put16(std::uint8_t* p, std::uint32_t v) {
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(v >> 8);
}

void put32(std::uint8_t* p, std::uint32_t v) {
    put16(p, v);
    put16(p + 2, v >> 16);
}

// The 14-byte file header followed by the 40-byte info header.
std::array<std::uint8_t, 54> bmpHeaders(const ExportImage& image) {
    const auto entries = static_cast<std::uint32_t>(image.colorTable.size());
    const auto imageSize = static_cast<std::uint32_t>(strideOf(image) * image.height);
    const std::uint32_t offBits = 54 + 4 * entries;
    std::array<std::uint8_t, 54> h{};
    h[0] = 'B';
    h[1] = 'M';
    put32(&h[2], offBits + imageSize);
    put32(&h[10], offBits);
    put32(&h[14], 40);
    put32(&h[18], static_cast<std::uint32_t>(image.width));
    put32(&h[22], static_cast<std::uint32_t>(image.height));
    put16(&h[26], 1);
    put16(&h[28], static_cast<std::uint32_t>(image.bpp));
    put32(&h[30], 0);
    put32(&h[34], imageSize);
    put32(&h[46], entries);
    return h;
}

// RGBQUAD entries: blue, green, red, 0.
std::vector<std::uint8_t> bmpColorTable(const ExportImage& image) {
    std::vector<std::uint8_t> table;
    table.reserve(image.colorTable.size() * 4);
    for (const auto& c : image.colorTable) table.insert(table.end(), {c.blue, c.green, c.red, 0});
    return table;
}

// Rows bottom-up, each padded to a multiple of 4 bytes; 4-bit pixels packed left pixel high. Sets every
// byte of the stride x height it fills, padding included, whatever the buffer held before.
void fillPixelData(const ExportImage& image, std::uint8_t* data) {
    const std::size_t stride = strideOf(image);
    const auto w = static_cast<std::size_t>(image.width);
    const std::size_t rowBytes = image.bpp == 4 ? (w + 1) / 2 : w * (image.bpp == 24 ? 3 : 1);
    for (int y = 0; y < image.height; ++y) {
        std::uint8_t* out = data + (image.height - 1 - y) * stride;
        const std::uint8_t* in = image.pixels.data() + y * w * (image.bpp == 24 ? 3 : 1);
        if (image.bpp == 4) {
            packNibbles(in, w, out);
        } else {
            std::memcpy(out, in, rowBytes);
        }
        std::fill(out + rowBytes, out + stride, std::uint8_t{0});
    }
}

// The pixel data of the last file written, kept for the life of the thread: a batch faults its pages
// in once rather than for every file (a 24-bit picture's 192 KiB are above the size from which the
// allocator hands freed memory back to the system). One buffer, not the image's rows as separate
// pieces: the system copies one long piece faster than 256 short ones.
thread_local std::vector<std::uint8_t> t_pixelData;

std::span<const std::uint8_t> pixelData(const ExportImage& image) {
    const std::size_t size = strideOf(image) * static_cast<std::size_t>(image.height);
    if (t_pixelData.size() < size) t_pixelData.resize(size);
    fillPixelData(image, t_pixelData.data());
    return {t_pixelData.data(), size};
}

}  // namespace

std::vector<std::uint8_t> encodeBmp(const ExportImage& image) {
    const auto headers = bmpHeaders(image);
    const auto table = bmpColorTable(image);
    std::vector<std::uint8_t> bytes(headers.size() + table.size() + strideOf(image) * image.height);
    std::uint8_t* out = std::copy(headers.begin(), headers.end(), bytes.data());
    out = std::copy(table.begin(), table.end(), out);
    fillPixelData(image, out);
    return bytes;
}

void WriteBmpFile(const ExportImage& image, const std::string& path) {
    // Everything is computed before the file exists, so a failure here cannot touch the disk.
    const auto headers = bmpHeaders(image);
    const auto table = bmpColorTable(image);
    const std::array<std::span<const std::uint8_t>, 3> pieces{headers, table, pixelData(image)};
    platform::AtomicOutputFile file(path);
    file.write(pieces);
    file.commit();
}

}  // namespace nrbx::exporting
