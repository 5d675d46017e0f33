#include "import/error_space.h"

#include <algorithm>
#include <cmath>

namespace nrbx::importing {

namespace {

constexpr float kScale = 1.f / 255;

}  // namespace

std::string_view toString(ErrorSpace space) {
    switch (space) {
        case ErrorSpace::Rgb:
            return "rgb";
        case ErrorSpace::Oklab:
            return "oklab";
        case ErrorSpace::Blend:
            return "blend";
    }
    return "blend";
}

Lab pointOf(ErrorSpace space, std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    if (space == ErrorSpace::Oklab) return labFromRgb(red, green, blue);
    return Lab{float(red) * kScale, float(green) * kScale, float(blue) * kScale};
}

const std::vector<Lab>& gridPoints(ErrorSpace space) {
    if (space == ErrorSpace::Oklab) return gridLab();
    static const std::vector<Lab> table = [] {
        std::vector<Lab> t(kGridColours);
        for (int k = 0; k < kGridColours; ++k) {
            t[std::size_t(k)] = pointOf(ErrorSpace::Rgb, std::uint8_t(gridRed(GridKey(k)) * kGridStep),
                                        std::uint8_t(gridGreen(GridKey(k)) * kGridStep),
                                        std::uint8_t(gridBlue(GridKey(k)) * kGridStep));
        }
        return t;
    }();
    return table;
}

GridKey nearestGridPoint(ErrorSpace space, const Lab& point) {
    if (space == ErrorSpace::Oklab) return nearestGridColour(point);
    // Squared error is separable by component, so the nearest level of each is the nearest colour.
    const auto level = [](float c) {
        return std::clamp(int(std::lround(c * 255 / kGridStep)), 0, kGridLevels - 1);
    };
    return gridKey(level(point.L), level(point.a), level(point.b));
}

}  // namespace nrbx::importing
