#pragma once
// The bank's manifest: where each picture went (its cells' sprites and blocks), the palette's words and
// the settings, as JSON written by hand for build scripts to read.

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "data/palette_formats.h"

namespace nrbx::cli {

struct ManifestPicture {
    std::string file;  // as given on the command line
    int columns = 0;
    int rows = 0;
    std::optional<std::pair<int, int>> at;  // its top-left cell, when placed as a rectangle
    std::vector<int> sprites;               // per cell, row by row; -1: left out
    std::vector<int> blocks;                // per cell, row by row
    std::optional<double> psnr;             // with --reduce; infinite when every colour is kept
};

struct Manifest {
    std::string version;
    // Each setting's name and its value, already JSON ("true", "16", "\"none\"", "null").
    std::vector<std::pair<std::string, std::string>> settings;
    std::vector<ManifestPicture> pictures;
    data::PaletteFile palette;
};

// A JSON string: quotes, backslashes and control characters escaped, and bytes that are not UTF-8
// (a file name may hold any) each replaced by U+FFFD.
std::string jsonString(std::string_view text);

std::string manifestJson(const Manifest& manifest);

}  // namespace nrbx::cli
