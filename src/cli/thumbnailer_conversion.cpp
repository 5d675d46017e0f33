#include "cli/thumbnailer_conversion.h"

#include <optional>

#include "canvas/load.h"
#include "canvas/start_up.h"
#include "cli/io.h"
#include "data/pattern.h"
#include "export/export_image.h"
#include "export/image_ops.h"
#include "export/png/png_writer.h"
#include "export/saved_picture.h"
#include "platform/file.h"

namespace nrbx::cli {

int runThumbnailer(const Tool& tool, const ThumbnailerOptions& options) {
    try {
        const InputData in = readInput(options.pattern, data::kPatternBytes);
        canvas::resetPictureToStartUp();
        canvas::loadPattern(in.bytes);
        const exporting::ExportImage picture = exporting::savedPicture(std::nullopt, 24);
        const auto png = exporting::encodePng(exporting::fittedExport(picture, options.size));
        // The thumbnail service owns the output: it made the file, holds it open and reads the thumbnail
        // back through that handle, so it is written in place rather than replaced.
        platform::InPlaceOutputFile file(options.output);
        file.write(png);
        file.close();
        return kExitOk;
    } catch (const platform::Failure& failure) {
        return tool.failed(failure);
    }
}

}  // namespace nrbx::cli
