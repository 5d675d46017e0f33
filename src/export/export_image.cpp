#include "export/export_image.h"

#include <algorithm>
#include <cstring>

#include "canvas/selection.h"
#include "export/halftone.h"

namespace nrbx::exporting {

data::Rgb ExportImage::color(int x, int y) const {
    const auto i = static_cast<std::size_t>(y) * width + x;
    if (bpp == 24) return data::Rgb{pixels[i * 3 + 2], pixels[i * 3 + 1], pixels[i * 3]};
    return colorTable[pixels[i]];
}

ExportImage wholePictureExport() {
    const auto& backing = canvas::imageState().backing;
    ExportImage image;
    image.width = canvas::Image24::kWidth;
    image.height = canvas::Image24::kHeight;
    image.pixels.assign(backing.bytes.begin(), backing.bytes.end());
    return image;
}

ExportImage selectionExport(int x0, int y0, int x1, int y1) {
    auto [xmin, xmax] = canvas::OrderPair(x0, x1);
    auto [ymin, ymax] = canvas::OrderPair(y0, y1);
    xmin = canvas::ClampInt(xmin, 0, 15), xmax = canvas::ClampInt(xmax, 0, 15);
    ymin = canvas::ClampInt(ymin, 0, 15), ymax = canvas::ClampInt(ymax, 0, 15);
    const auto& backing = canvas::imageState().backing;
    ExportImage image;
    image.width = (xmax - xmin + 1) * canvas::kCellSize;
    image.height = (ymax - ymin + 1) * canvas::kCellSize;
    const std::size_t rowBytes = static_cast<std::size_t>(image.width) * 3;
    image.pixels.resize(rowBytes * image.height);
    for (int y = 0; y < image.height; ++y) {
        std::memcpy(image.pixels.data() + y * rowBytes,
                    backing.pixel(xmin * canvas::kCellSize, ymin * canvas::kCellSize + y), rowBytes);
    }
    return image;
}

namespace {

void toIndexed(ExportImage& image, std::span<const data::Rgb> table, int bpp) {
    NearestColorMap nearest(table);
    const std::size_t count = static_cast<std::size_t>(image.width) * image.height;
    std::vector<std::uint8_t> indices(count);
    const std::uint8_t* in = image.pixels.data();
    for (std::size_t i = 0; i < count; ++i, in += 3) {
        indices[i] = nearest(data::Rgb{in[2], in[1], in[0]});
    }
    image.pixels = std::move(indices);
    image.colorTable.assign(table.begin(), table.end());
    image.bpp = bpp;
}

void toDirect(ExportImage& image) {
    const std::size_t count = static_cast<std::size_t>(image.width) * image.height;
    std::vector<std::uint8_t> bgr(count * 3);
    for (std::size_t i = 0; i < count; ++i) {
        const data::Rgb c = image.colorTable[image.pixels[i]];
        bgr[i * 3] = c.blue;
        bgr[i * 3 + 1] = c.green;
        bgr[i * 3 + 2] = c.red;
    }
    image.pixels = std::move(bgr);
    image.colorTable.clear();
    image.bpp = 24;
}

}  // namespace

void SetExportDepth(ExportImage& image, int bpp) {
    if (bpp != 24 && bpp != 8 && bpp != 4) return;
    if (image.bpp != 24) toDirect(image);
    if (bpp == 8) toIndexed(image, halftonePalette(), 8);
    if (bpp == 4) toIndexed(image, sixteenColorPalette(), 4);
}

}  // namespace nrbx::exporting
