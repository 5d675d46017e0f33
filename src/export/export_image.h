#pragma once
// The picture (or a rectangle of cells of it) as it goes to a file, at 24, 8 or 4 bits per pixel.

#include <cstdint>
#include <vector>

#include "canvas/images.h"
#include "data/palette.h"

namespace nrbx::exporting {

struct ExportImage {
    int width = 0;
    int height = 0;
    int bpp = 24;
    // 24 bits: blue, green, red per pixel; 8 and 4 bits: one colour-table index per pixel. Row 0 on top.
    std::vector<std::uint8_t> pixels;
    std::vector<data::Rgb> colorTable;  // empty at 24 bits
    // Transparency, written by the PNG writer only. 24 bits: one alpha byte per pixel (empty: opaque);
    // 8 and 4 bits: one alpha byte per colour-table entry (empty: opaque).
    std::vector<std::uint8_t> alpha;

    data::Rgb color(int x, int y) const;
};

// A copy of the whole backing image.
ExportImage wholePictureExport();
// The same into an existing image, reusing its buffers (a batch then copies every picture into pages
// it already has).
void wholePictureExport(ExportImage& image);
// The backing image's pixels under the given cells, corners in any order.
ExportImage selectionExport(int x0, int y0, int x1, int y1);

// Converts in place to 24, 8 (general 256-colour palette) or 4 bits (16-colour palette); other values
// leave the image as it is. Each pixel gets its nearest table colour; an exact match always wins.
void SetExportDepth(ExportImage& image, int bpp);

}  // namespace nrbx::exporting
