// libFuzzer target: any bytes through the picture readers and every kind of conversion (the colour
// reduction too), and through the palette and block map readers. A failure is an expected answer; a crash or sanitizer report is not.

#include <cstddef>
#include <cstdint>
#include <span>

#include "data/block_map.h"
#include "data/palette_formats.h"
#include "import/conversion.h"
#include "import/picture.h"
#include "import/reduce.h"
#include "platform/failure.h"

using namespace nrbx;

namespace {

void convert(const importing::Picture& picture, const importing::ImportSettings& settings) {
    try {
        importing::importPicture(picture, settings, importing::PatternBytes{}, "fuzz");
    } catch (const platform::Failure&) {
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> content(data, size);
    try {
        data::parsePalette(content, "fuzz");
    } catch (const platform::Failure&) {
    }
    try {
        data::parseBlockMap(content, "fuzz");
    } catch (const platform::Failure&) {
    }
    importing::Picture picture;
    try {
        picture = importing::decodePicture(content, "fuzz");
    } catch (const platform::Failure&) {
        return 0;
    }
    importing::ImportSettings settings;
    convert(picture, settings);
    settings.spriteIndexed = true;
    settings.block = 5;
    convert(picture, settings);
    // A palette of scattered words, matched with and without --nearest.
    settings = importing::ImportSettings{};
    data::PaletteFile palette;
    for (int k = 0; k < data::kPaletteEntries; ++k) {
        palette.bytes[2 * k] = std::uint8_t(k * 37);
        palette.bytes[2 * k + 1] = std::uint8_t(k * 101);
    }
    settings.palette = palette;
    convert(picture, settings);
    settings.nearest = true;
    convert(picture, settings);
    // The reduction, with limits and dithering taken from the input's last bytes so that they vary too.
    importing::ReduceSettings reduce;
    const std::uint8_t last = data[size - 1];
    reduce.blocks = 1 + last % 16;
    reduce.colours = 2 + (last / 16) % 15;
    reduce.dither = importing::Dither(size % 3);
    reduce.alphaThreshold = size > 1 ? data[size - 2] : 128;
    importing::reduceColours(picture, reduce);
    return 0;
}
