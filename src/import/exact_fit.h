#pragma once
// Whether a picture fits the palette's limits as it is, and its blocks when it does: the reduction's
// first step, so that a picture the exact import accepts is never changed.

#include <optional>

#include "import/picture.h"
#include "import/reduce.h"

namespace nrbx::importing {

// Each cell's colours as the exact import compares them (the top five bits of each component) and a
// packing of them into settings.blocks blocks of settings.colours (import/packing.h) found within
// settings.fitTimeLimit, or nothing.
// Alpha below settings.alphaThreshold is transparent, index 0; with any transparent pixel every block
// keeps index 0 for it where the packing leaves room, as the exact import does.
std::optional<ReducedPicture> exactFit(const Picture& picture, const ReduceSettings& settings);

}  // namespace nrbx::importing
