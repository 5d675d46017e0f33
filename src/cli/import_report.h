#pragma once
// What nrbx-import tells of a reduction's quality: the line -v prints and the picture --error-map writes,
// both measured only when asked for.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/import_options.h"
#include "import/import_settings.h"
#include "import/picture.h"
#include "import/quality.h"

namespace nrbx::cli {

struct ImportReport {
    std::optional<std::string> qualityLine;  // with -v and --reduce
    std::vector<std::uint8_t> errorMapPng;   // with --error-map: the whole file
};

// "picture NAME as reduced: PSNR 31.20 dB, mean OKLab distance ...", the line -v prints.
std::string qualityLine(const std::string& name, const importing::Quality& quality);

// Empty for a conversion that was not a reduction, or when neither -v nor --error-map asks.
ImportReport reportOn(const importing::Picture& picture, const importing::ImportResult& result,
                      const ImportOptions& options);

}  // namespace nrbx::cli
