#pragma once
// OKLab (Björn Ottosson, 2020), the perceptual space the reduction can measure its error in and its
// quality report does, and the 32768 colours of the palette's five-bit grid in it.

#include <array>
#include <cstdint>
#include <vector>

namespace nrbx::importing {

// An OKLab colour; the reduction also keeps its points of the sRGB error space in it (L, a, b holding
// red, green, blue), so that both spaces share the 16-wide kernels.
struct Lab {
    float L = 0;
    float a = 0;
    float b = 0;
};

// A grid colour: five bits each of green, red, blue, as the palette word holds them without bit 0.
using GridKey = std::uint16_t;
constexpr int kGridColours = 1 << 15;
constexpr int kGridLevels = 32;
// The palette shows a five-bit level v as the eight-bit value v * 8 (data::colorFromWord).
constexpr int kGridStep = 8;

constexpr GridKey gridKey(int red, int green, int blue) {
    return GridKey(green << 10 | red << 5 | blue);
}
constexpr int gridRed(GridKey k) {
    return k >> 5 & 31;
}
constexpr int gridGreen(GridKey k) {
    return k >> 10 & 31;
}
constexpr int gridBlue(GridKey k) {
    return k & 31;
}
// The palette word of a grid colour.
constexpr std::uint16_t gridWord(GridKey k) {
    return std::uint16_t(k << 1);
}

// The five-bit level nearest an eight-bit value.
constexpr int nearestLevel(int value) {
    return value >= 252 ? 31 : (value + kGridStep / 2) / kGridStep;
}

Lab labFromRgb(std::uint8_t red, std::uint8_t green, std::uint8_t blue);
// Each grid colour in OKLab, indexed by its key; computed once.
const std::vector<Lab>& gridLab();
// The grid colour nearest a point of OKLab: of the eight grid colours around its sRGB value, the one
// nearest in OKLab.
GridKey nearestGridColour(const Lab& lab);

inline float distance2(const Lab& p, const Lab& q) {
    const float dl = p.L - q.L, da = p.a - q.a, db = p.b - q.b;
    return dl * dl + da * da + db * db;
}

}  // namespace nrbx::importing
