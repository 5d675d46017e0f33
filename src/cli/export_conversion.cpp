#include "cli/export_conversion.h"

#include <deque>
#include <exception>
#include <functional>
#include <string>

#include "canvas/images.h"
#include "canvas/load.h"
#include "canvas/palette_block.h"
#include "canvas/selection.h"
#include "canvas/start_up.h"
#include "cli/io.h"
#include "cli/palette_input.h"
#include "cli/picture_writers.h"
#include "cli/progress.h"
#include "data/palette.h"
#include "data/palette_formats.h"
#include "data/pattern.h"
#include "export/bmp_writer.h"
#include "export/export_image.h"
#include "export/image_ops.h"
#include "export/png/png_writer.h"
#include "export/saved_picture.h"
#include "export/sprite_indexed.h"
#include "platform/failure.h"

namespace nrbx::cli {

namespace {

// The picture to write, into image (whose buffers are reused).
void fillPicture(const Options& options, const canvas::CellRect& r, bool whole,
                 exporting::ExportImage& image) {
    // Nearest colours: the picture exactly as the window's save commands take it.
    if (options.indexing == Indexing::Sprite) {
        image = exporting::spriteIndexedExport(r.x0, r.y0, r.x1, r.y1, options.depth);
    } else {
        exporting::savedPicture(whole ? std::nullopt : std::optional(r), options.depth, image);
    }
    if (options.transparent)
        exporting::makeIndexZeroTransparent(image, r, options.indexing == Indexing::Sprite);
    if (options.scale > 1) image = exporting::scaledExport(image, options.scale);
}

// One image is kept from file to file, so a batch reuses its buffers.
const exporting::ExportImage& pictureToWrite(const Options& options, const canvas::CellRect& r, bool whole) {
    static exporting::ExportImage image;
    fillPicture(options, r, whole, image);
    return image;
}

void write(const exporting::ExportImage& image, Format format, const std::string& output) {
    if (isStandardStream(output)) {
        const auto bytes = format == Format::Png ? exporting::encodePng(image) : exporting::encodeBmp(image);
        writeOutput(output, bytes);
    } else {
        writePictureFile(image, format, output);
    }
}

// The canvas as convertFile leaves it before the save.
void prepareCanvas(const Options& options, const std::vector<std::uint8_t>& pattern,
                   const std::optional<std::vector<std::uint8_t>>& palette,
                   const std::optional<data::BlockMap>& blockMap) {
    // The state the window starts with, so inputs of a batch cannot leak into each other (a short
    // pattern file would otherwise keep the tail of the one before).
    canvas::resetPictureToStartUp();
    // The block set before the loads: they render every cell with the current block, as in the window.
    canvas::setPaletteBlock(options.block);
    canvas::loadPattern(pattern);
    if (palette) canvas::loadPalette(*palette);
    if (blockMap) canvas::renderInBlocks(*blockMap);
    for (const auto& c : options.cells) {
        canvas::setSelection(c.cells);
        canvas::changePaletteBlock(c.block);
    }
}

}  // namespace

void convertFile(const Options& options, const Job& job, const std::vector<std::uint8_t>& pattern,
                 const std::optional<std::vector<std::uint8_t>>& palette,
                 const std::optional<data::BlockMap>& blockMap) {
    prepareCanvas(options, pattern, palette, blockMap);
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

namespace {

// The palette as read, or the built-in one as the palette file would hold it.
data::PaletteFile paletteTable(const std::optional<PaletteInput>& given) {
    if (given) return given->file;
    canvas::resetPictureToStartUp();
    data::PaletteFile palette;
    for (int k = 0; k < data::kPaletteEntries; ++k) {
        palette.setWord(k, data::wordFromColor(data::paletteState().table[k]));
    }
    return palette;
}

}  // namespace

namespace {

// What one input of a batch has to tell, kept until every input before it has told its own, so the
// lines come in the order and with the texts of a run that converts and writes one input after another.
struct Report {
    std::size_t index = 0;
    std::vector<std::string> warnings;
    std::optional<std::string> failure;    // raised before the picture went to a writer
    PictureWriters::Slot* slot = nullptr;  // the picture being written
    std::exception_ptr fault;              // anything but a Failure, raised here
};

// The batch loop of runExport with the writes on PictureWriters; true if an input failed.
bool convertBatch(const Options& options, const Plan& plan, Progress& progress,
                  const std::function<void(const std::string&)>& warn,
                  const std::optional<std::vector<std::uint8_t>>& paletteBytes,
                  const std::optional<data::BlockMap>& blockMap) {
    PictureWriters writers;
    std::deque<Report> pending;
    bool anyFailed = false;
    // Tells the oldest reports whose outcome is known; with wait, waits for the oldest write instead of
    // stopping at it.
    auto tell = [&](bool wait) {
        while (!pending.empty()) {
            if (PictureWriters::Slot* slot = pending.front().slot; slot && !writers.finished(*slot)) {
                if (!wait) return;
                writers.wait(*slot);
            }
            Report r = std::move(pending.front());
            pending.pop_front();
            const Job& job = plan.jobs[r.index];
            progress.starting(r.index, job.input, job.output);
            for (const auto& text : r.warnings) warn(text);
            if (r.failure) {
                progress.failed(*r.failure);
                anyFailed = true;
            }
            std::exception_ptr error = r.fault;
            if (r.slot) {
                error = r.slot->error;
                writers.release(*r.slot);
            }
            if (!error) continue;
            try {
                std::rethrow_exception(error);
            } catch (const platform::Failure& failure) {
                progress.failed(failureText(failure));
                anyFailed = true;
            }
        }
    };
    for (std::size_t i = 0; i < plan.jobs.size(); ++i) {
        const Job& job = plan.jobs[i];
        PictureWriters::Slot* slot = writers.freeSlot();
        while (!slot) {
            // Every slot is in flight: tell what is known, else wait for the oldest write.
            tell(false);
            if ((slot = writers.freeSlot())) break;
            writers.wait(*pending.front().slot);
        }
        Report r;
        r.index = i;
        try {
            const InputData in = readInput(job.input, data::kPatternBytes);
            if (const auto text = sizeWarning(job.input, in, data::kPatternBytes, "pattern file"))
                r.warnings.push_back(*text);
            prepareCanvas(options, in.bytes, paletteBytes, blockMap);
            fillPicture(options, writtenCells(options), !options.select, slot->image);
            slot->format = job.format;
            slot->output = job.output;
            writers.submit(*slot);
            r.slot = slot;
        } catch (const platform::Failure& failure) {
            r.failure = failureText(failure);
        } catch (...) {
            // Told in its place after all before it, then raised as a run without writers would.
            r.fault = std::current_exception();
        }
        pending.push_back(std::move(r));
        tell(pending.back().fault != nullptr);
    }
    tell(true);
    return anyFailed;
}

}  // namespace

int runExport(const Tool& tool, const Options& options) {
    const Plan plan = planJobs(options);
    if (!plan.error.empty()) return tool.usageError(plan.error);
    Progress progress(tool.err(), tool.name(), plan.jobs.size(), tool.progressWanted(), options.verbose);
    auto warn = [&](const std::string& text) {
        if (!tool.quiet()) progress.line(tool.name() + ": warning: " + text);
    };
    std::optional<PaletteInput> palette;
    std::optional<data::BlockMap> blockMap;
    // Read once, so a missing one is reported once rather than for every input.
    try {
        if (options.palette) palette = readPalette(*options.palette, warn);
        if (options.blockMap) {
            blockMap = data::parseBlockMap(readInput(*options.blockMap, data::kBlockMapBytes + 1).bytes,
                                           *options.blockMap);
        }
    } catch (const platform::Failure& failure) {
        progress.failed(failureText(failure));
        return kExitFailed;
    }
    const auto paletteBytes = palette ? std::optional(palette->loadBytes) : std::nullopt;
    bool anyFailed = false;
    if (options.paletteOut) {
        try {
            const std::string text = data::formatPalette(paletteTable(palette), paletteFormatFor(options));
            writeOutput(*options.paletteOut,
                        {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
        } catch (const platform::Failure& failure) {
            progress.failed(failureText(failure));
            anyFailed = true;
        }
    }
    // A batch of whole pictures to files overlaps the writes with the next conversions; one input, or
    // --split (a failed cell stops the rest of its input), stays on this thread.
    if (plan.jobs.size() > 1 && !options.split) {
        anyFailed = convertBatch(options, plan, progress, warn, paletteBytes, blockMap) || anyFailed;
    } else {
        for (std::size_t i = 0; i < plan.jobs.size(); ++i) {
            const Job& job = plan.jobs[i];
            progress.starting(i, job.input, job.cells.empty() ? job.output : job.cells.front().output);
            try {
                const InputData in = readInput(job.input, data::kPatternBytes);
                if (const auto text = sizeWarning(job.input, in, data::kPatternBytes, "pattern file"))
                    warn(*text);
                convertFile(options, job, in.bytes, paletteBytes, blockMap);
            } catch (const platform::Failure& failure) {
                progress.failed(failureText(failure));
                anyFailed = true;
            }
        }
    }
    progress.finish();
    return anyFailed ? kExitFailed : kExitOk;
}

}  // namespace nrbx::cli
