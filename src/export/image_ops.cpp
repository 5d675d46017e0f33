#include "export/image_ops.h"

#include <algorithm>
#include <cstring>

#include "data/pattern.h"

namespace nrbx::exporting {

namespace {

std::size_t bytesPerPixel(const ExportImage& image) {
    return image.bpp == 24 ? 3 : 1;
}

// Pixel (x, y) of the result is pixel (x * image.width / width, y * image.height / height) of the image.
ExportImage sampled(const ExportImage& image, int width, int height) {
    ExportImage out;
    out.width = width;
    out.height = height;
    out.bpp = image.bpp;
    out.colorTable = image.colorTable;
    const std::size_t bpp = bytesPerPixel(image);
    const bool pixelAlpha = image.bpp == 24 && !image.alpha.empty();
    out.alpha = pixelAlpha ? std::vector<std::uint8_t>() : image.alpha;
    out.pixels.resize(static_cast<std::size_t>(out.width) * out.height * bpp);
    if (pixelAlpha) out.alpha.resize(static_cast<std::size_t>(out.width) * out.height);
    for (int y = 0; y < out.height; ++y) {
        const std::size_t srcRow = static_cast<std::size_t>(y) * image.height / height * image.width;
        const std::size_t dstRow = static_cast<std::size_t>(y) * out.width;
        for (int x = 0; x < out.width; ++x) {
            const std::size_t src = srcRow + static_cast<std::size_t>(x) * image.width / width;
            std::memcpy(&out.pixels[(dstRow + x) * bpp], &image.pixels[src * bpp], bpp);
            if (pixelAlpha) out.alpha[dstRow + x] = image.alpha[src];
        }
    }
    return out;
}

}  // namespace

void makeIndexZeroTransparent(ExportImage& image, const canvas::CellRect& cells, bool spriteIndexed) {
    if (image.bpp != 24) {
        if (!spriteIndexed) return;
        image.alpha.assign(image.colorTable.size(), 255);
        for (std::size_t i = 0; i < image.alpha.size(); i += 16) image.alpha[i] = 0;
        return;
    }
    const auto& grid = data::patternState().grid;
    image.alpha.resize(static_cast<std::size_t>(image.width) * image.height);
    std::uint8_t* out = image.alpha.data();
    for (int y = cells.y0 * canvas::kCellSize; y < (cells.y1 + 1) * canvas::kCellSize; ++y) {
        const std::uint8_t* in = grid.row(y);
        for (int x = cells.x0 * canvas::kCellSize; x < (cells.x1 + 1) * canvas::kCellSize; ++x)
            *out++ = (in[x] & 0x0F) == 0 ? 0 : 255;
    }
}

void packNibbles(const std::uint8_t* indices, std::size_t count, std::uint8_t* out) {
    // Pairs without a branch, so the compiler can do many at once; then the odd one.
    const std::size_t pairs = count / 2;
    for (std::size_t i = 0; i < pairs; ++i)
        out[i] = std::uint8_t((indices[2 * i] & 0x0F) << 4 | (indices[2 * i + 1] & 0x0F));
    if (count % 2 != 0) out[pairs] = std::uint8_t((indices[count - 1] & 0x0F) << 4);
}

ExportImage scaledExport(const ExportImage& image, int factor) {
    if (factor <= 1) return image;
    return sampled(image, image.width * factor, image.height * factor);
}

ExportImage fittedExport(const ExportImage& image, int maxSide) {
    const int longer = std::max(image.width, image.height);
    if (longer == 0 || maxSide < 1) return image;
    if (longer <= maxSide) return scaledExport(image, maxSide / longer);
    const auto side = [&](int length) {
        return std::max(1, static_cast<int>(static_cast<long long>(length) * maxSide / longer));
    };
    return sampled(image, side(image.width), side(image.height));
}

}  // namespace nrbx::exporting
