// The error map: the shown picture on the left, each cell's heat on the right, a legend from no error
// to the scale's end, and a ramp whose brightness only rises with the error.

#include "import/error_map.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace nrbx::importing {
namespace {

double luminance(data::Rgb c) {
    return 0.2126 * c.red + 0.7152 * c.green + 0.0722 * c.blue;
}

TEST(ErrorMap, ShownPictureBesideEachCellsHeatOnARampThatOnlyBrightens) {
    for (double rms = 0.5; rms <= kErrorMapScale.back(); rms += 0.5)
        EXPECT_GT(luminance(heatColour(rms)), luminance(heatColour(rms - 0.5))) << rms;
    EXPECT_EQ(heatColour(kErrorMapScale.back() * 4), heatColour(kErrorMapScale.back()));

    const ReducedPicture reduced{2, 1, {}, {}};
    std::vector<std::uint8_t> shown(32 * 16 * 3);
    for (std::size_t i = 0; i < shown.size(); ++i) shown[i] = std::uint8_t(i * 7);
    const ErrorMapImage map = errorMap(reduced, shown, std::vector<double>{0, 8 * 8});  // RMS 0 and 8
    ASSERT_EQ(map.width, 64);
    ASSERT_EQ(map.height, 16 + kErrorMapGapRows + kErrorMapLegendRows);
    const auto at = [&map](int x, int y) {
        const std::uint8_t* p = map.rgb.data() + (std::size_t(y) * map.width + x) * 3;
        return data::Rgb{p[0], p[1], p[2]};
    };
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 32; ++x) {
            const std::uint8_t* s = shown.data() + (y * 32 + x) * 3;
            ASSERT_EQ(at(x, y), (data::Rgb{s[0], s[1], s[2]})) << x << "," << y;
            ASSERT_EQ(at(32 + x, y), heatColour(x < 16 ? 0 : 8)) << x << "," << y;
        }
    }
    const int legend = 16 + kErrorMapGapRows;
    EXPECT_EQ(at(0, legend), heatColour(0));
    EXPECT_EQ(at(map.width - 1, legend), heatColour(kErrorMapScale.back()));
}

}  // namespace
}  // namespace nrbx::importing
