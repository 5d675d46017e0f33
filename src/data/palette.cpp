#include "data/palette.h"

#include <algorithm>
#include <vector>

#include "platform/file.h"

namespace nrbx::data {

namespace {
PaletteState g_palette;
}

const PaletteState& paletteState() {
    return g_palette;
}
void resetPaletteState() {
    g_palette = PaletteState{};
}

void setPaletteTable(const PaletteTable& table) {
    g_palette.table = table;
}

void ReadPaletteFile(const std::string& path) {
    platform::InputFile file(path);
    const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(file.size(), kPaletteBytes));
    std::vector<std::uint8_t> scratch(n);
    file.readExact(scratch.data(), n);
    std::copy(scratch.begin(), scratch.end(), g_palette.bytes.begin());
}

void LoadPaletteBytes(std::span<const std::uint8_t> bytes) {
    std::copy_n(bytes.begin(), std::min(bytes.size(), kPaletteBytes), g_palette.bytes.begin());
}

void UnpackPaletteWords() {
    for (int k = 0; k < kPaletteEntries; ++k) {
        g_palette.words[k] =
            static_cast<std::uint16_t>(g_palette.bytes[2 * k] << 8 | g_palette.bytes[2 * k + 1]);
    }
}

Rgb colorFromWord(std::uint16_t w) {
    return Rgb{static_cast<std::uint8_t>(((w >> 6) & 31) * 8),
               static_cast<std::uint8_t>(((w >> 11) & 31) * 8),
               static_cast<std::uint8_t>(((w >> 1) & 31) * 8)};
}

void BuildPaletteColors() {
    for (int k = 0; k < kPaletteEntries; ++k) g_palette.table[k] = colorFromWord(g_palette.words[k]);
}

void SetDefaultPalette() {
    static constexpr std::array<Rgb, 16> kDefaultBlock = {{
        {0, 0, 0},
        {0, 248, 248},
        {248, 248, 0},
        {248, 248, 248},
        {208, 200, 176},
        {208, 200, 176},
        {208, 200, 176},
        {208, 200, 176},
        {56, 8, 64},
        {56, 8, 64},
        {56, 8, 64},
        {56, 8, 64},
        {56, 8, 64},
        {56, 8, 64},
        {56, 8, 64},
        {248, 248, 248},
    }};
    for (int k = 0; k < kPaletteEntries; ++k) g_palette.table[k] = kDefaultBlock[k % 16];
}

}  // namespace nrbx::data
