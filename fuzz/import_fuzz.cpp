// libFuzzer target: any bytes through the picture readers and every kind of conversion (the colour
// reduction and a bank of two pictures too), through the palette and block map readers, and read as colour
// sets through the block packing. A failure is an expected answer; a crash or sanitizer report is not.

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "data/block_map.h"
#include "data/palette_formats.h"
#include "import/bank.h"
#include "import/conversion.h"
#include "import/packing.h"
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

// The bytes as colour sets: a length byte (up to 16, so that every set fits a block), then that many
// colours out of 64 so that sets overlap; sorted and without repeats, as a cell's colours are. The
// search gets little time: a fuzz run is many short runs.
void pack(std::span<const std::uint8_t> content) {
    std::vector<importing::ColorSet> sets;
    for (std::size_t at = 0; at < content.size() && sets.size() < 256;) {
        const std::size_t length = content[at++] % 17;
        const std::size_t n = std::min(length, content.size() - at);
        importing::ColorSet set;
        for (std::size_t i = 0; i < n; ++i) set.push_back(std::uint16_t(content[at + i] % 64));
        at += n;
        std::sort(set.begin(), set.end());
        set.erase(std::unique(set.begin(), set.end()), set.end());
        sets.push_back(std::move(set));
    }
    for (int blocks : {2, 16}) {
        const importing::PackingLimits limits{blocks, 16, std::chrono::milliseconds(20)};
        const importing::Packing packing = importing::packColorSets(sets, limits);
        if (packing.outcome != importing::Packing::Outcome::Packed) continue;
        // A packing it reports must hold: every block at most 16 colours.
        std::vector<std::vector<bool>> used(std::size_t(packing.blocks), std::vector<bool>(64));
        for (std::size_t s = 0; s < sets.size(); ++s)
            for (std::uint16_t c : sets[s]) used[std::size_t(packing.blockOf[s])][c] = true;
        for (const auto& block : used)
            if (std::count(block.begin(), block.end(), true) > 16) __builtin_trap();
    }
}

// Two copies of the picture as one bank: built, then with half of the palette's blocks kept.
void bank(const importing::Picture& picture, const data::PaletteFile& palette) {
    const importing::Picture pictures[] = {picture, picture};
    const std::string names[] = {"fuzz", "fuzz again"};
    importing::BankSettings settings;
    settings.packingTimeLimit = std::chrono::milliseconds(20);
    settings.alphaThreshold = 128;
    for (int run = 0; run < 2; ++run) {
        try {
            importing::importBank(pictures, names, settings);
        } catch (const platform::Failure&) {
        }
        settings.palette = palette;
        for (int b = 0; b < data::kPaletteBlocks / 2; ++b) settings.kept[std::size_t(b)] = true;
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
    pack(content);
    importing::Picture picture;
    try {
        picture = importing::decodePicture(content, "fuzz");
    } catch (const platform::Failure&) {
        return 0;
    }
    importing::ImportSettings settings;
    settings.packingTimeLimit = std::chrono::milliseconds(20);
    convert(picture, settings);
    settings.alphaThreshold = 128;
    convert(picture, settings);
    settings.alphaThreshold.reset();
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
    bank(picture, palette);
    // The reduction, with limits and dithering taken from the input's last bytes so that they vary too.
    importing::ReduceSettings reduce;
    const std::uint8_t last = data[size - 1];
    reduce.blocks = 1 + last % 16;
    reduce.colours = 2 + (last / 16) % 15;
    reduce.dither = importing::Dither(size % 3);
    reduce.alphaThreshold = size > 1 ? data[size - 2] : 128;
    importing::reduceColours(std::span(&picture, 1), reduce);
    return 0;
}
