#include "cli/conversion.h"

#include "canvas/images.h"
#include "canvas/palette_block.h"
#include "canvas/selection.h"
#include "canvas/start_up.h"
#include "cli/sprite_export.h"
#include "data/palette.h"
#include "data/pattern.h"
#include "export/bmp_writer.h"
#include "export/export_image.h"
#include "export/png/png_writer.h"

namespace nrbx::cli {

namespace {

constexpr int kLastCell = data::kCellsPerSide - 1;

exporting::ExportImage pictureToWrite(const Options& options) {
    const CellRange r = options.select.value_or(CellRange{0, 0, kLastCell, kLastCell});
    if (options.indexing == Indexing::Sprite)
        return spriteIndexedExport(r.x0, r.y0, r.x1, r.y1, options.depth);
    exporting::ExportImage image =
        options.select ? exporting::selectionExport(r.x0, r.y0, r.x1, r.y1) : exporting::wholePictureExport();
    exporting::SetExportDepth(image, options.depth);
    return image;
}

}  // namespace

void convertFile(const Options& options, const Job& job) {
    // The state the window starts with, so inputs of a batch cannot leak into each other (a short
    // pattern file would otherwise keep the tail of the one before).
    canvas::resetPictureToStartUp();
    // The block set before the loads: they render every cell with the current block, as in the window.
    canvas::setPaletteBlock(options.block);
    data::ReadPatternFile(job.input);
    data::DecodePatterns();
    canvas::RenderCells(0, 0, kLastCell, kLastCell);
    if (options.palette) {
        data::ReadPaletteFile(*options.palette);
        data::UnpackPaletteWords();
        data::BuildPaletteColors();
        canvas::RenderCells(0, 0, kLastCell, kLastCell);
    }
    for (const auto& c : options.cells) {
        canvas::setSelection(canvas::CellRect{c.cells.x0, c.cells.y0, c.cells.x1, c.cells.y1});
        canvas::changePaletteBlock(c.block);
    }
    const exporting::ExportImage image = pictureToWrite(options);
    if (job.format == Format::Png) {
        exporting::WritePngFile(image, job.output);
    } else {
        exporting::WriteBmpFile(image, job.output);
    }
}

void checkPalette(const std::string& path) {
    data::ReadPaletteFile(path);
    data::resetPaletteState();
}

}  // namespace nrbx::cli
