#pragma once
// The space the reduction measures its error in, and the palette's grid colours in it: sRGB as the
// palette shows it (v * 8, scaled to 0..1), the space PSNR measures, or OKLab. A colour is a point of
// three coordinates in it (struct Lab holds them in either space). The blend searches in sRGB and
// finishes by both (import/blend_polish.h); it has no points of its own.

#include <cstdint>
#include <string_view>
#include <vector>

#include "import/oklab.h"

namespace nrbx::importing {

enum class ErrorSpace { Rgb, Oklab, Blend };
std::string_view toString(ErrorSpace space);

// The point of an sRGB colour (Blend's are sRGB's, as everywhere below).
Lab pointOf(ErrorSpace space, std::uint8_t red, std::uint8_t green, std::uint8_t blue);
// Each grid colour's point, indexed by its key; computed once a space.
const std::vector<Lab>& gridPoints(ErrorSpace space);
// The grid colour nearest a point: in sRGB each component's nearest level, in OKLab the nearest of the
// eight grid colours around it.
GridKey nearestGridPoint(ErrorSpace space, const Lab& point);

}  // namespace nrbx::importing
