#include "import/error_map.h"

#include <algorithm>
#include <cmath>

#include "data/cell_grid.h"

namespace nrbx::importing {

using data::kCellSize;

namespace {

constexpr int kSteps = int(kErrorMapScale.size()) - 1;

// The colour at `position` (0..1) along the ramp.
data::Rgb rampColour(double position) {
    // Five colours of matplotlib's "inferno", one at each point of the scale.
    static constexpr std::array<data::Rgb, kErrorMapScale.size()> kColours{{
        {0, 0, 4},
        {87, 16, 110},
        {188, 55, 84},
        {249, 142, 9},
        {252, 255, 164},
    }};
    const double t = std::clamp(position, 0.0, 1.0) * kSteps;
    const int low = std::min(int(t), kSteps - 1);
    const double f = t - low;
    const auto mix = [f](std::uint8_t a, std::uint8_t b) {
        return std::uint8_t(std::lround(a + (b - a) * f));
    };
    const data::Rgb &a = kColours[low], &b = kColours[low + 1];
    return {mix(a.red, b.red), mix(a.green, b.green), mix(a.blue, b.blue)};
}

}  // namespace

data::Rgb heatColour(double rmsError) {
    int step = 0;
    while (step < kSteps - 1 && rmsError >= kErrorMapScale[step + 1]) ++step;
    const double within =
        (rmsError - kErrorMapScale[step]) / (kErrorMapScale[step + 1] - kErrorMapScale[step]);
    return rampColour((step + within) / kSteps);
}

ErrorMapImage errorMap(const ReducedPicture& reduced, std::span<const std::uint8_t> shown,
                       std::span<const double> cellError) {
    const int side = reduced.columns * kCellSize, height = reduced.rows * kCellSize;
    ErrorMapImage map;
    map.width = 2 * side;
    map.height = height + kErrorMapGapRows + kErrorMapLegendRows;
    map.rgb.assign(std::size_t(map.width) * std::size_t(map.height) * 3, 0);
    const auto put = [&map](int x, int y, data::Rgb c) {
        std::uint8_t* p = map.rgb.data() + (std::size_t(y) * map.width + x) * 3;
        p[0] = c.red, p[1] = c.green, p[2] = c.blue;
    };
    for (int y = 0; y < height; ++y) {
        std::copy_n(shown.begin() + std::ptrdiff_t(y) * side * 3, side * 3,
                    map.rgb.begin() + std::ptrdiff_t(y) * map.width * 3);
        for (int x = 0; x < side; ++x) {
            const std::size_t cell = std::size_t(y / kCellSize * reduced.columns + x / kCellSize);
            put(side + x, y, heatColour(std::sqrt(cellError[cell])));
        }
    }
    // The ramp across the whole width, its ends exactly no error and the scale's end, and a tick through
    // its lower half where each inner step begins.
    const int top = height + kErrorMapGapRows;
    const auto position = [&map](int x) { return double(x) / (map.width - 1); };
    for (int x = 0; x < map.width; ++x) {
        const bool tick =
            x > 0 && int(position(x) * kSteps) > int(position(x - 1) * kSteps) && x < map.width - 1;
        for (int row = 0; row < kErrorMapLegendRows; ++row) {
            const bool grey = tick && row >= kErrorMapLegendRows / 2;
            put(x, top + row, grey ? data::Rgb{128, 128, 128} : rampColour(position(x)));
        }
    }
    return map;
}

}  // namespace nrbx::importing
