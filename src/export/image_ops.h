#pragma once
// Changes of an export image on its way to the file: transparency of colour index 0, enlargement,
// fitting into a thumbnail's size.

#include <cstddef>
#include <cstdint>

#include "canvas/images.h"
#include "export/export_image.h"

namespace nrbx::exporting {

// Makes colour index 0 transparent in an image of the given cells of the picture as last rendered.
// 24 bits: alpha 0 on every pixel whose colour index is 0; sprite-indexed (8 or 4 bits): alpha 0 on
// every table entry that is some block's index 0 (entries 0, 16, 32, ...). Other images: unchanged.
void makeIndexZeroTransparent(ExportImage& image, const canvas::CellRect& cells, bool spriteIndexed);

// count 4-bit indices (one per byte) as (count + 1) / 2 bytes, the left pixel in the high nibble; an
// odd last pixel leaves the low nibble zero. The row layout of 4-bit BMP and PNG files alike.
void packNibbles(const std::uint8_t* indices, std::size_t count, std::uint8_t* out);

// Every pixel as a factor x factor square (nearest neighbour); factor 1 returns the image as it is.
ExportImage scaledExport(const ExportImage& image, int factor);

// The image at most maxSide pixels on its longer side, nearest neighbour, so pixels stay sharp: an
// image that fits is enlarged by the largest whole factor that still fits, a larger one sampled down.
ExportImage fittedExport(const ExportImage& image, int maxSide);

}  // namespace nrbx::exporting
