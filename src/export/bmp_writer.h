#pragma once
// Windows BMP files (file header, info header, colour table, bottom-up rows) from an export image.

#include <cstdint>
#include <string>
#include <vector>

#include "export/export_image.h"

namespace nrbx::exporting {

// The whole file in memory, byte for byte what WriteBmpFile writes (for a stream, where no file is).
std::vector<std::uint8_t> encodeBmp(const ExportImage& image);

// Writes the file in one gathered write (headers, colour table, pixels); an existing file of that name is
// replaced only once the new one is complete.
void WriteBmpFile(const ExportImage& image, const std::string& path);

}  // namespace nrbx::exporting
