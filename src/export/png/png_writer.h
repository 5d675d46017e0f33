#pragma once
// PNG files from an export image: 24 bits as RGB (RGBA when the image carries alpha), 8 and 4 bits as
// indexed PNG with the image's colour table (and a tRNS chunk when the table carries alpha).

#include <cstdint>
#include <string>
#include <vector>

#include "export/export_image.h"

namespace nrbx::exporting {

// The whole file in memory. Carries no time, gamma or text chunks, so equal images give equal bytes.
std::vector<std::uint8_t> encodePng(const ExportImage& image);

// An existing file of that name is replaced only once the new one is complete, as for BMP files.
void WritePngFile(const ExportImage& image, const std::string& path);

}  // namespace nrbx::exporting
