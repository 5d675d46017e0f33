#include "export/saved_picture.h"

#include "export/bmp_writer.h"

namespace nrbx::exporting {

ExportImage savedPicture(const std::optional<canvas::CellRect>& cells, int depth) {
    ExportImage image =
        cells ? selectionExport(cells->x0, cells->y0, cells->x1, cells->y1) : wholePictureExport();
    SetExportDepth(image, depth);
    return image;
}

void saveBmp(const std::optional<canvas::CellRect>& cells, int depth, const std::string& path) {
    WriteBmpFile(savedPicture(cells, depth), path);
}

}  // namespace nrbx::exporting
