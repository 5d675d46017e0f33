#pragma once
// A picture read from a PNG or BMP file: its colours, and its colour indices when it has a table.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "data/palette.h"
#include "platform/failure.h"

namespace nrbx::importing {

// Pictures larger than the whole sprite picture are refused before their pixels are decoded.
constexpr int kMaxPictureSide = 256;
// A 256 x 256 picture is 192 KiB as a 24-bit BMP; a PNG may carry large extra chunks, but nothing a
// sprite picture needs comes near this.
constexpr std::uint64_t kMaxPictureFileBytes = 16 << 20;

struct Picture {
    int width = 0;
    int height = 0;
    // Red, green, blue, alpha per pixel, row 0 on top; 8 bits each.
    std::vector<std::uint8_t> rgba;
    // Set for pictures stored as indices into a colour table (indexed PNG, 8- and 4-bit BMP).
    bool indexed = false;
    std::vector<std::uint8_t> indices;  // one per pixel, each below table.size()
    std::vector<data::Rgb> table;

    const std::uint8_t* pixel(int x, int y) const { return rgba.data() + (std::size_t(y) * width + x) * 4; }
};

// Raise a failure naming the picture and what is wrong with it: corrupt, truncated, unsupported or
// larger than 256 x 256.
Picture decodePng(std::span<const std::uint8_t> content, const std::string& name);
Picture decodeBmp(std::span<const std::uint8_t> content, const std::string& name);
// PNG or BMP, told apart by the signature.
Picture decodePicture(std::span<const std::uint8_t> content, const std::string& name);
// The failure for a file larger than kMaxPictureFileBytes.
platform::Failure pictureTooLarge(const std::string& name);

// Fills rgba from indices and table (alpha 255 unless `alpha` gives one per table entry); refuses an
// index the table does not have.
void expandIndices(Picture& picture, const std::string& name, std::span<const std::uint8_t> alpha = {});

}  // namespace nrbx::importing
