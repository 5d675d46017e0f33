#pragma once
// How close a reduced picture comes to its source, as the palette shows it: PSNR over RGB and the mean
// OKLab distance of the opaque pixels, and the error of each cell.

#include <cstdint>
#include <span>
#include <vector>

#include "import/picture.h"
#include "import/reduce.h"

namespace nrbx::importing {

struct Quality {
    double psnr = 0;       // dB over red, green and blue; infinite when every opaque pixel is exact
    double meanOklab = 0;  // the mean Euclidean distance in OKLab
    long opaquePixels = 0;
    // Per cell of the whole cells, row by row: the mean squared RGB error of its opaque pixels (0 for a
    // cell with none).
    std::vector<double> cellError;
};

// The grid colour each pixel shows (its block's word at its index), 3 bytes a pixel.
std::vector<std::uint8_t> shownColours(const ReducedPicture& reduced, const BlockWords& words);

// Pixels whose source alpha is below alphaThreshold are left out. `shown`: as shownColours gives it.
Quality measureQuality(const Picture& source, const ReducedPicture& reduced,
                       std::span<const std::uint8_t> shown, int alphaThreshold);

}  // namespace nrbx::importing
