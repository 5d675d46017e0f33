#include "import/quality.h"

#include <cmath>
#include <limits>

#include "data/cell_grid.h"
#include "data/palette.h"
#include "import/oklab.h"

namespace nrbx::importing {

using data::kCellSize;

std::vector<std::uint8_t> shownColours(const ReducedPicture& reduced, const BlockWords& words) {
    const int width = reduced.columns * kCellSize, height = reduced.rows * kCellSize;
    std::vector<std::uint8_t> shown(std::size_t(width) * std::size_t(height) * 3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const std::size_t at = std::size_t(y) * width + x;
            const int block =
                reduced.blockOfCell[std::size_t(y / kCellSize * reduced.columns + x / kCellSize)];
            const data::Rgb rgb = data::colorFromWord(words[block][reduced.indices[at]]);
            shown[at * 3] = rgb.red, shown[at * 3 + 1] = rgb.green, shown[at * 3 + 2] = rgb.blue;
        }
    }
    return shown;
}

Quality measureQuality(const Picture& source, const ReducedPicture& reduced,
                       std::span<const std::uint8_t> shown, int alphaThreshold) {
    Quality quality;
    const int width = reduced.columns * kCellSize, height = reduced.rows * kCellSize;
    quality.cellError.assign(std::size_t(reduced.columns) * std::size_t(reduced.rows), 0);
    std::vector<long> cellPixels(quality.cellError.size(), 0);
    double squared = 0, oklab = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const std::uint8_t* p = source.pixel(x, y);
            if (p[3] < alphaThreshold) continue;
            const std::uint8_t* q = shown.data() + (std::size_t(y) * width + x) * 3;
            double e = 0;
            for (int i = 0; i < 3; ++i) e += double(p[i] - q[i]) * double(p[i] - q[i]);
            squared += e;
            oklab += std::sqrt(distance2(labFromRgb(p[0], p[1], p[2]), labFromRgb(q[0], q[1], q[2])));
            const std::size_t cell = std::size_t(y / kCellSize * reduced.columns + x / kCellSize);
            quality.cellError[cell] += e / 3;
            ++cellPixels[cell];
            ++quality.opaquePixels;
        }
    }
    for (std::size_t c = 0; c < cellPixels.size(); ++c)
        if (cellPixels[c] > 0) quality.cellError[c] /= double(cellPixels[c]);
    if (quality.opaquePixels == 0) return quality;
    const double mse = squared / (3.0 * double(quality.opaquePixels));
    quality.psnr = mse > 0 ? 10 * std::log10(255.0 * 255.0 / mse) : std::numeric_limits<double>::infinity();
    quality.meanOklab = oklab / double(quality.opaquePixels);
    return quality;
}

}  // namespace nrbx::importing
