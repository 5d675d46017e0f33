#pragma once
// The save commands' steps, once for the window and the converter: the picture or the cells, at a depth.

#include <optional>
#include <string>

#include "canvas/images.h"
#include "export/export_image.h"

namespace nrbx::exporting {

// The whole picture (no cells given) or the given cells of it, corners in any order, converted by
// SetExportDepth to 24, 8 or 4 bits.
ExportImage savedPicture(const std::optional<canvas::CellRect>& cells, int depth);
// The same into an existing image, reusing its buffers for the whole picture: a batch then copies each
// picture into pages it already has instead of faulting in a fresh 192 KiB buffer per file.
void savedPicture(const std::optional<canvas::CellRect>& cells, int depth, ExportImage& image);

// savedPicture written as a BMP file, as the window's two save commands write it.
void saveBmp(const std::optional<canvas::CellRect>& cells, int depth, const std::string& path);

}  // namespace nrbx::exporting
