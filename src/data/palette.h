#pragma once
// The palette file (256 big-endian colour words) and the palette table of 16 blocks of 16 colours.

#include <array>
#include <cstdint>
#include <span>
#include <string>

namespace nrbx::data {

constexpr std::size_t kPaletteBytes = 512;
constexpr int kPaletteEntries = 256;
constexpr int kPaletteBlocks = 16;
constexpr int kColorsPerBlock = 16;  // entry = block * kColorsPerBlock + colour index

struct Rgb {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    bool operator==(const Rgb&) const = default;
};

using PaletteTable = std::array<Rgb, kPaletteEntries>;

struct PaletteState {
    std::array<std::uint8_t, kPaletteBytes> bytes{};
    std::array<std::uint16_t, kPaletteEntries> words{};
    PaletteTable table{};  // entry = block * 16 + colour index
};

const PaletteState& paletteState();
void resetPaletteState();
// Puts a whole palette table in place, as building it from the words would.
void setPaletteTable(const PaletteTable& table);

// Reads min(size, 512) bytes into the start of the palette bytes. On any failure the bytes are as before.
void ReadPaletteFile(const std::string& path);
// The same from bytes read elsewhere (standard input): the first 512 of them, the rest kept.
void LoadPaletteBytes(std::span<const std::uint8_t> bytes);
void UnpackPaletteWords();
void BuildPaletteColors();
void SetDefaultPalette();

// One colour word (GGGGG RRRRR BBBBB I) as display colour; each 5-bit component times 8.
Rgb colorFromWord(std::uint16_t word);

}  // namespace nrbx::data
