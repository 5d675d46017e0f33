#include "export/bmp_writer.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

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

// Rows bottom-up, each padded to a multiple of 4 bytes; 4-bit pixels packed left pixel high.
std::vector<std::uint8_t> bmpPixelData(const ExportImage& image) {
    const std::size_t stride = strideOf(image);
    const auto w = static_cast<std::size_t>(image.width);
    std::vector<std::uint8_t> data(stride * image.height, 0);
    for (int y = 0; y < image.height; ++y) {
        std::uint8_t* out = data.data() + (image.height - 1 - y) * stride;
        const std::uint8_t* in = image.pixels.data() + y * w * (image.bpp == 24 ? 3 : 1);
        if (image.bpp == 24) {
            std::copy(in, in + w * 3, out);
        } else if (image.bpp == 8) {
            std::copy(in, in + w, out);
        } else {
            for (std::size_t x = 0; x < w; x += 2) {
                const std::uint8_t right = x + 1 < w ? in[x + 1] & 0x0F : 0;
                out[x / 2] = std::uint8_t((in[x] & 0x0F) << 4 | right);
            }
        }
    }
    return data;
}

}  // namespace

std::vector<std::uint8_t> encodeBmp(const ExportImage& image) {
    const auto headers = bmpHeaders(image);
    const auto table = bmpColorTable(image);
    const auto pixels = bmpPixelData(image);
    // Sized once and filled in order (growing it by inserts also makes GCC 12 at -O3 warn falsely).
    std::vector<std::uint8_t> bytes(headers.size() + table.size() + pixels.size());
    auto out = std::copy(headers.begin(), headers.end(), bytes.begin());
    out = std::copy(table.begin(), table.end(), out);
    std::copy(pixels.begin(), pixels.end(), out);
    return bytes;
}

void WriteBmpFile(const ExportImage& image, const std::string& path) {
    // Everything is computed before the file exists, so a failure here cannot touch the disk.
    const auto headers = bmpHeaders(image);
    const auto table = bmpColorTable(image);
    const auto pixels = bmpPixelData(image);
    platform::AtomicOutputFile file(path);
    file.write(headers.data(), 14);
    file.write(headers.data() + 14, 40);
    if (!table.empty()) file.write(table.data(), table.size());
    file.write(pixels.data(), pixels.size());
    file.commit();
}

}  // namespace nrbx::exporting
