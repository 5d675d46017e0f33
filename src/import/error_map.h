#pragma once
// The error map of a reduction: the picture as the palette shows it, and beside it each cell coloured by
// how far it is from its source, on one fixed scale so that maps of two pictures compare.

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "data/palette.h"
#include "import/reduce.h"

namespace nrbx::importing {

// The scale: a cell's RMS error over red, green and blue of its opaque pixels, in 8-bit units, at the
// ramp's five colours, evenly spaced along it. Each step doubles the error, so that the small errors of a
// good reduction still differ: taking colours to the five-bit grid alone leaves up to about 4, and 32
// (four grid steps) and more is the ramp's end.
constexpr std::array<double, 5> kErrorMapScale{0, 4, 8, 16, 32};
// The legend under both halves: a gap, then the ramp from no error (left) to the scale's end (right),
// with a grey tick at each inner step of the scale.
constexpr int kErrorMapGapRows = 2;
constexpr int kErrorMapLegendRows = 6;

// The ramp: black for no error, through purple, red and orange, to pale yellow at the scale's end; its
// lightness rises all the way (after the "inferno" map), so brighter is always worse.
data::Rgb heatColour(double rmsError);

struct ErrorMapImage {
    int width = 0;                  // twice the reduced picture's width
    int height = 0;                 // its height, and the gap and legend under it
    std::vector<std::uint8_t> rgb;  // red, green, blue per pixel, row 0 on top
};

// shown: the reduced picture's colours as shownColours gives them; cellError: the mean squared error of
// each cell, as measureQuality gives it (import/quality.h).
ErrorMapImage errorMap(const ReducedPicture& reduced, std::span<const std::uint8_t> shown,
                       std::span<const double> cellError);

}  // namespace nrbx::importing
