// The conversion's steps in order: the picture's size and place checked, its transparency read, then
// one of the ways from colours to indices.

#include "import/conversion.h"

#include "import/cells.h"
#include "import/exact_import.h"
#include "import/indexed_import.h"
#include "import/palette_match.h"
#include "import/palette_reduce.h"
#include "platform/failure.h"

namespace nrbx::importing {

namespace {

using data::kCellSize;
using data::kCellsPerSide;

}  // namespace

// Partly transparent pixels are not made opaque or transparent behind the user's back.
void refusePartlyTransparent(const Picture& picture, const Cells& cells) {
    // One pass over the alpha bytes; the cells are looked at only for the message.
    std::size_t partly = 0;
    for (std::size_t at = 3; at < picture.rgba.size(); at += 4)
        partly += std::uint8_t(picture.rgba[at] - 1) < 254 ? 1 : 0;
    if (partly == 0) return;
    std::string first;
    for (int py = 0; py < cells.rows() && first.empty(); ++py) {
        for (int px = 0; px < cells.columns() && first.empty(); ++px) {
            cells.forEachPixel(px, py, [&](int, std::size_t at) {
                const std::uint8_t alpha = picture.rgba[at * 4 + 3];
                if (first.empty() && alpha != 0 && alpha != 255) first = cells.cellName(px, py);
            });
        }
    }
    throw cannotImport("picture " + cells.pictureName() + " has " + std::to_string(partly) +
                       " partly transparent pixel" + (partly == 1 ? "" : "s") +
                       " (alpha 1..254), the first in " + first +
                       "; give --alpha-threshold N to make alpha below N transparent and the rest opaque");
}

void refuseUnevenSides(const Picture& picture, const std::string& name) {
    if (picture.width % kCellSize != 0 || picture.height % kCellSize != 0 || picture.width == 0 ||
        picture.height == 0) {
        throw cannotImport("picture " + name + " is " + std::to_string(picture.width) + " x " +
                           std::to_string(picture.height) + " pixels; both sides must be multiples of " +
                           std::to_string(kCellSize));
    }
}

platform::Failure cannotImport(const std::string& why) {
    return platform::Failure(platform::FailureKind::Other, why);
}

ImportResult importPicture(const Picture& picture, const ImportSettings& settings, const PatternBytes& base,
                           const std::string& name) {
    refuseUnevenSides(picture, name);
    // Without a threshold, alpha 0 alone is transparent.
    const Cells cells(picture, settings, name, settings.alphaThreshold.value_or(1));
    if (settings.atX < 0 || settings.atY < 0 || settings.atX + cells.columns() > kCellsPerSide ||
        settings.atY + cells.rows() > kCellsPerSide) {
        throw cannotImport("picture " + name + " of " + std::to_string(cells.columns()) + " x " +
                           std::to_string(cells.rows()) + " cells put at cell " +
                           std::to_string(settings.atX) + "," + std::to_string(settings.atY) +
                           " reaches past cell " + std::to_string(kCellsPerSide - 1));
    }
    ImportResult result;
    result.pattern = base;
    for (std::size_t n = 0; n < data::kBlockMapBytes; ++n)
        result.blockMap[n] = settings.blocks ? (*settings.blocks)[n] : std::uint8_t(settings.block);
    if (settings.spriteIndexed) {
        importIndices(picture, cells, settings, result);
        return result;
    }
    if (settings.reduce && !settings.palette) {
        importReducing(picture, cells, settings, result);
        return result;
    }
    if (!settings.alphaThreshold) refusePartlyTransparent(picture, cells);
    if (settings.palette) {
        importByPalette(cells, settings, result);
    } else {
        importBuildingPalette(cells, settings, result);
    }
    return result;
}

}  // namespace nrbx::importing
