#include "export/bmp_writer.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>
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

// The file as it is written: headers, colour table, then the rows bottom-up, each padded to a multiple
// of 4 bytes. Rows of 24 and 8 bits are read where they lie in the image; 4-bit rows are packed (left
// pixel high) into a buffer of their own, a sixth of a 24-bit picture.
struct BmpFile {
    std::array<std::uint8_t, 54> headers;
    std::vector<std::uint8_t> table;
    std::vector<std::uint8_t> packed;
    std::vector<std::span<const std::uint8_t>> pieces;

    explicit BmpFile(const ExportImage& image) : headers(bmpHeaders(image)), table(bmpColorTable(image)) {
        static constexpr std::array<std::uint8_t, 3> kPadding{};
        const std::size_t stride = strideOf(image);
        const auto w = static_cast<std::size_t>(image.width);
        const auto h = static_cast<std::size_t>(image.height);
        pieces.reserve(2 * h + 3);
        pieces.emplace_back(headers);
        if (!table.empty()) pieces.emplace_back(table);
        if (image.bpp == 4) {
            packed.assign(stride * h, 0);
            for (std::size_t y = 0; y < h; ++y) {
                std::uint8_t* out = packed.data() + (h - 1 - y) * stride;
                const std::uint8_t* in = image.pixels.data() + y * w;
                for (std::size_t x = 0; x < w; x += 2) {
                    const std::uint8_t right = x + 1 < w ? in[x + 1] & 0x0F : 0;
                    out[x / 2] = std::uint8_t((in[x] & 0x0F) << 4 | right);
                }
            }
            pieces.emplace_back(packed);
            return;
        }
        const std::size_t rowBytes = w * (image.bpp == 24 ? 3 : 1);
        for (std::size_t y = h; y-- > 0;) {
            pieces.emplace_back(image.pixels.data() + y * rowBytes, rowBytes);
            if (stride > rowBytes) pieces.emplace_back(kPadding.data(), stride - rowBytes);
        }
    }
    BmpFile(const BmpFile&) = delete;
    BmpFile& operator=(const BmpFile&) = delete;
};

}  // namespace

std::vector<std::uint8_t> encodeBmp(const ExportImage& image) {
    const BmpFile file(image);
    std::size_t size = 0;
    for (const auto& piece : file.pieces) size += piece.size();
    std::vector<std::uint8_t> bytes(size);
    std::uint8_t* out = bytes.data();
    for (const auto& piece : file.pieces) out = std::copy(piece.begin(), piece.end(), out);
    return bytes;
}

void WriteBmpFile(const ExportImage& image, const std::string& path) {
    // Everything is computed before the file exists, so a failure here cannot touch the disk.
    const BmpFile bmp(image);
    platform::AtomicOutputFile file(path);
    file.write(bmp.pieces);
    file.commit();
}

}  // namespace nrbx::exporting
