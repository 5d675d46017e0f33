#include "import/oklab.h"

#include <algorithm>
#include <cmath>

namespace nrbx::importing {

namespace {

float linearFromSrgb(float c) {
    return c <= 0.04045f ? c / 12.92f : std::pow((c + 0.055f) / 1.055f, 2.4f);
}

float srgbFromLinear(float c) {
    if (c <= 0) return 0;
    if (c >= 1) return 1;
    return c <= 0.0031308f ? c * 12.92f : 1.055f * std::pow(c, 1 / 2.4f) - 0.055f;
}

const std::array<float, 256>& linearTable() {
    static const std::array<float, 256> table = [] {
        std::array<float, 256> t{};
        for (int v = 0; v < 256; ++v) t[v] = linearFromSrgb(float(v) / 255);
        return t;
    }();
    return table;
}

Lab labFromLinear(float r, float g, float b) {
    const float l = std::cbrt(0.4122214708f * r + 0.5363325363f * g + 0.0514459929f * b);
    const float m = std::cbrt(0.2119034982f * r + 0.6806995451f * g + 0.1073969566f * b);
    const float s = std::cbrt(0.0883024619f * r + 0.2817188376f * g + 0.6299787005f * b);
    return Lab{0.2104542553f * l + 0.7936177850f * m - 0.0040720468f * s,
               1.9779984951f * l - 2.4285922050f * m + 0.4505937099f * s,
               0.0259040371f * l + 0.7827717662f * m - 0.8086757660f * s};
}

}  // namespace

Lab labFromRgb(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    const auto& linear = linearTable();
    return labFromLinear(linear[red], linear[green], linear[blue]);
}

const std::vector<Lab>& gridLab() {
    static const std::vector<Lab> table = [] {
        std::vector<Lab> t(kGridColours);
        for (int k = 0; k < kGridColours; ++k) {
            t[k] = labFromRgb(std::uint8_t(gridRed(GridKey(k)) * kGridStep),
                              std::uint8_t(gridGreen(GridKey(k)) * kGridStep),
                              std::uint8_t(gridBlue(GridKey(k)) * kGridStep));
        }
        return t;
    }();
    return table;
}

GridKey nearestGridColour(const Lab& lab) {
    const float l = lab.L + 0.3963377774f * lab.a + 0.2158037573f * lab.b;
    const float m = lab.L - 0.1055613458f * lab.a - 0.0638541728f * lab.b;
    const float s = lab.L - 0.0894841775f * lab.a - 1.2914855480f * lab.b;
    const float l3 = l * l * l, m3 = m * m * m, s3 = s * s * s;
    const float rgb[3] = {
        4.0767416621f * l3 - 3.3077115913f * m3 + 0.2309699292f * s3,
        -1.2684380046f * l3 + 2.6097574011f * m3 - 0.3413193965f * s3,
        -0.0041960863f * l3 - 0.7034186147f * m3 + 1.7076147010f * s3,
    };
    int low[3];
    for (int c = 0; c < 3; ++c) {
        const float level = srgbFromLinear(rgb[c]) * 255 / kGridStep;
        low[c] = std::clamp(int(level), 0, kGridLevels - 2);
    }
    const auto& grid = gridLab();
    GridKey best = 0;
    float bestDistance = -1;
    for (int corner = 0; corner < 8; ++corner) {
        const GridKey k =
            gridKey(low[0] + (corner & 1), low[1] + (corner >> 1 & 1), low[2] + (corner >> 2 & 1));
        const float d = distance2(grid[k], lab);
        if (bestDistance < 0 || d < bestDistance) best = k, bestDistance = d;
    }
    return best;
}

}  // namespace nrbx::importing
