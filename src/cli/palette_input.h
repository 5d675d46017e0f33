#pragma once
// The palette file a tool is given (-p): the 512-byte file, a GIMP or a JASC-PAL palette, read once.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "data/palette_formats.h"

namespace nrbx::cli {

struct PaletteInput {
    data::PaletteFile file;  // as parsed
    // What the window's palette load takes: the 512-byte file's bytes as read (at most 512; a short
    // file keeps the rest as it was), or a text palette's words.
    std::vector<std::uint8_t> loadBytes;
};

// Reads the file ("-": standard input). A 512-byte file of another size is still taken, as the window
// takes it, and warn gets the size warning; a text palette larger than the format allows is refused.
// Raises the file-open, stream-read and palette failures.
PaletteInput readPalette(const std::string& name, const std::function<void(const std::string&)>& warn);

}  // namespace nrbx::cli
