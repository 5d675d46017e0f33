#pragma once
// The bank as a C header: for each picture its first sprite, its size in cells and the sprite of each of
// its cells, under names made from its file name, as game builds include them.

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace nrbx::cli {

struct HeaderPicture {
    std::string file;
    int columns = 0;
    int rows = 0;
    std::vector<int> sprites;  // per cell, row by row; -1: left out
};

// One name a file: its base name without the extension, in capitals, every character that a C name
// cannot hold an underscore, "PICTURE_" before one that would start with a digit; a name given twice
// gets _2, _3, ... until it is unique.
std::vector<std::string> headerNames(std::span<const std::string> files);

// headerFile names the include guard; the version goes into the first comment.
std::string cHeader(std::string_view headerFile, std::string_view version,
                    std::span<const HeaderPicture> pictures);

}  // namespace nrbx::cli
