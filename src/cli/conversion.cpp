#include "cli/conversion.h"

#include "canvas/images.h"
#include "canvas/palette_block.h"
#include "canvas/selection.h"
#include "canvas/start_up.h"
#include "cli/io.h"
#include "data/palette.h"
#include "data/pattern.h"
#include "export/bmp_writer.h"
#include "export/export_image.h"
#include "export/image_ops.h"
#include "export/png/png_writer.h"
#include "export/sprite_indexed.h"

namespace nrbx::cli {

namespace {

constexpr int kLastCell = data::kCellsPerSide - 1;

// The picture to write. One image is kept from file to file: a batch copies each picture into the
// pages it already has instead of faulting in a fresh 192 KiB buffer per file.
const exporting::ExportImage& pictureToWrite(const Options& options, const canvas::CellRect& r, bool whole) {
    static exporting::ExportImage image;
    if (options.indexing == Indexing::Sprite) {
        image = exporting::spriteIndexedExport(r.x0, r.y0, r.x1, r.y1, options.depth);
    } else {
        if (whole) {
            exporting::wholePictureExport(image);
        } else {
            image = exporting::selectionExport(r.x0, r.y0, r.x1, r.y1);
        }
        exporting::SetExportDepth(image, options.depth);
    }
    if (options.transparent)
        exporting::makeIndexZeroTransparent(image, r, options.indexing == Indexing::Sprite);
    if (options.scale > 1) image = exporting::scaledExport(image, options.scale);
    return image;
}

void write(const exporting::ExportImage& image, Format format, const std::string& output) {
    if (isStandardStream(output)) {
        const auto bytes = format == Format::Png ? exporting::encodePng(image) : exporting::encodeBmp(image);
        writeOutput(output, bytes);
    } else if (format == Format::Png) {
        exporting::WritePngFile(image, output);
    } else {
        exporting::WriteBmpFile(image, output);
    }
}

}  // namespace

void convertFile(const Options& options, const Job& job, const std::vector<std::uint8_t>& pattern,
                 const std::optional<std::vector<std::uint8_t>>& palette,
                 const std::optional<data::BlockMap>& blockMap) {
    // The state the window starts with, so inputs of a batch cannot leak into each other (a short
    // pattern file would otherwise keep the tail of the one before).
    canvas::resetPictureToStartUp();
    // The block set before the loads: they render every cell with the current block, as in the window.
    canvas::setPaletteBlock(options.block);
    data::LoadPatternBytes(pattern);
    data::DecodePatterns();
    canvas::RenderCells(0, 0, kLastCell, kLastCell);
    if (palette) {
        data::LoadPaletteBytes(*palette);
        data::UnpackPaletteWords();
        data::BuildPaletteColors();
        canvas::RenderCells(0, 0, kLastCell, kLastCell);
    }
    if (blockMap) {
        for (int n = 0; n < data::kCellsPerSide * data::kCellsPerSide; ++n) {
            const int cx = n % data::kCellsPerSide, cy = n / data::kCellsPerSide;
            canvas::setPaletteBlock((*blockMap)[n]);
            canvas::RenderCells(cx, cy, cx, cy);
        }
        canvas::setPaletteBlock(options.block);
    }
    for (const auto& c : options.cells) {
        canvas::setSelection(c.cells);
        canvas::changePaletteBlock(c.block);
    }
    if (job.cells.empty()) {
        write(pictureToWrite(options, writtenCells(options), !options.select), job.format, job.output);
        return;
    }
    // Every cell is encoded and written in turn; a failure stops the rest of this input.
    for (const auto& cell : job.cells) {
        const canvas::CellRect r{cell.cx, cell.cy, cell.cx, cell.cy};
        write(pictureToWrite(options, r, false), job.format, cell.output);
    }
}

}  // namespace nrbx::cli
