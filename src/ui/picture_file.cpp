#include "ui/picture_file.h"

#include <algorithm>
#include <array>
#include <vector>

#include "import/color_key.h"
#include "import/picture.h"
#include "platform/file.h"

namespace nrbx::ui {

namespace {

std::uint32_t littleEndian32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

// Pixel (x, y) of a sprite as data::encodeSprite lays it out: the left half's rows, then the right
// half's, two pixels a byte, the left one in the high nibble.
int spriteIndex(const std::uint8_t* sprite, int x, int y) {
    const std::uint8_t byte = sprite[(x / 8) * (data::kSpriteBytes / 2) + y * 4 + (x % 8) / 2];
    return x % 2 == 0 ? byte >> 4 : byte & 0x0F;
}

// Whether the import kept every colour: each opaque pixel shown in its own colour, as the palette
// stores it, and each transparent one at index 0.
bool keptEveryColour(const importing::Picture& picture, const importing::ImportResult& result,
                     int alphaThreshold) {
    for (int cy = 0; cy < picture.height / data::kCellSize; ++cy) {
        for (int cx = 0; cx < picture.width / data::kCellSize; ++cx) {
            const std::size_t sprite = std::size_t(cy) * data::kCellsPerSide + cx;
            const std::uint8_t* bytes = result.pattern.data() + sprite * data::kSpriteBytes;
            const int block = result.blockMap[sprite];
            for (int i = 0; i < data::kCellPixels; ++i) {
                const int x = i % data::kCellSize, y = i / data::kCellSize;
                const int index = spriteIndex(bytes, x, y);
                const importing::Key key = importing::keyOf(
                    picture.pixel(cx * data::kCellSize + x, cy * data::kCellSize + y), alphaThreshold);
                if (key == importing::kTransparent
                        ? index != 0
                        : importing::keyOfWord(result.palette.word(block * data::kColorsPerBlock + index)) !=
                              key)
                    return false;
            }
        }
    }
    return true;
}

}  // namespace

bool isPictureFile(const std::string& path) {
    platform::InputFile file(path);
    std::array<std::uint8_t, 18> head{};
    const std::size_t n = file.readUpTo(head.data(), head.size());
    static constexpr std::uint8_t kPng[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (n >= sizeof kPng && std::equal(std::begin(kPng), std::end(kPng), head.begin())) return true;
    // "BM" alone would take one pattern file in 65536 for a picture: the size of the header that
    // follows must be one a BMP has as well.
    if (n < head.size() || head[0] != 'B' || head[1] != 'M') return false;
    static constexpr std::uint32_t kInfoSizes[] = {12, 40, 52, 56, 64, 108, 124};
    return std::find(std::begin(kInfoSizes), std::end(kInfoSizes), littleEndian32(head.data() + 14)) !=
           std::end(kInfoSizes);
}

OpenedPicture importPictureFile(const std::string& path) {
    platform::InputFile file(path);
    const std::uint64_t size = file.size();
    if (size > importing::kMaxPictureFileBytes) throw importing::pictureTooLarge(path);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    file.readExact(bytes.data(), bytes.size());
    const importing::Picture picture = importing::decodePicture(bytes, path);

    importing::ImportSettings settings;
    settings.reduce.emplace();
    OpenedPicture opened;
    opened.result = importing::importPicture(picture, settings, importing::PatternBytes{}, path);
    opened.reduced = !keptEveryColour(picture, opened.result, settings.reduce->alphaThreshold);
    std::array<bool, data::kPaletteBlocks> used{};
    for (int cy = 0; cy < picture.height / data::kCellSize; ++cy)
        for (int cx = 0; cx < picture.width / data::kCellSize; ++cx)
            used[opened.result.blockMap[std::size_t(cy) * data::kCellsPerSide + cx]] = true;
    opened.blocksUsed = int(std::count(used.begin(), used.end(), true));
    return opened;
}

}  // namespace nrbx::ui
