#include "export/saved_picture.h"

#include "export/bmp_writer.h"

namespace nrbx::exporting {

ExportImage savedPicture(const std::optional<canvas::CellRect>& cells, int depth) {
    ExportImage image;
    savedPicture(cells, depth, image);
    return image;
}

void savedPicture(const std::optional<canvas::CellRect>& cells, int depth, ExportImage& image) {
    if (cells) {
        image = selectionExport(cells->x0, cells->y0, cells->x1, cells->y1);
    } else {
        wholePictureExport(image);
    }
    SetExportDepth(image, depth);
}

void saveBmp(const std::optional<canvas::CellRect>& cells, int depth, const std::string& path) {
    WriteBmpFile(savedPicture(cells, depth), path);
}

}  // namespace nrbx::exporting
