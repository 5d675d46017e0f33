#pragma once
// Windows BMP files (file header, info header, colour table, bottom-up rows) from an export image.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "export/export_image.h"

namespace nrbx::exporting {

// The 14-byte file header followed by the 40-byte info header.
std::array<std::uint8_t, 54> bmpHeaders(const ExportImage& image);
// RGBQUAD entries: blue, green, red, 0.
std::vector<std::uint8_t> bmpColorTable(const ExportImage& image);
// Rows bottom-up, each padded to a multiple of 4 bytes; 4-bit pixels packed left pixel high.
std::vector<std::uint8_t> bmpPixelData(const ExportImage& image);

// The whole file in memory, byte for byte what WriteBmpFile writes (for a stream, where no file is).
std::vector<std::uint8_t> encodeBmp(const ExportImage& image);

// Writes the file as four writes (headers, colour table, pixels); an existing file of that name is
// replaced only once the new one is complete.
void WriteBmpFile(const ExportImage& image, const std::string& path);

}  // namespace nrbx::exporting
