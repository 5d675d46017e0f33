#pragma once
// Windows BMP files (file header, info header, colour table, bottom-up rows) from an export image.

#include <string>

#include "export/export_image.h"

namespace nrbx::exporting {

// Writes the file as four writes (headers, colour table, pixels); an existing file of that name is
// replaced only once the new one is complete.
void WriteBmpFile(const ExportImage& image, const std::string& path);

}  // namespace nrbx::exporting
