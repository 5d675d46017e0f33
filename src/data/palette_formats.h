#pragma once
// Palette interchange: the 512-byte palette file, GIMP palettes and JASC-PAL files, read and written.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "data/palette.h"
#include "platform/failure.h"

namespace nrbx::data {

enum class PaletteFormat { Binary, Gimp, Jasc };

// Far above any real text palette (256 short lines), and small enough to read whole.
constexpr std::uint64_t kMaxTextPaletteBytes = 1 << 20;

const char* toString(PaletteFormat format);

// A palette as the 512-byte file holds it: 256 big-endian words G<<11 | R<<6 | B<<1 | bit 0.
struct PaletteFile {
    PaletteFormat format = PaletteFormat::Binary;
    std::array<std::uint8_t, kPaletteBytes> bytes{};

    std::uint16_t word(int entry) const {
        return static_cast<std::uint16_t>(bytes[2 * entry] << 8 | bytes[2 * entry + 1]);
    }
    void setWord(int entry, std::uint16_t w) {
        bytes[2 * entry] = static_cast<std::uint8_t>(w >> 8);
        bytes[2 * entry + 1] = static_cast<std::uint8_t>(w);
    }
};

// The word of a colour: the top five bits of each component, bit 0 clear.
std::uint16_t wordFromColor(Rgb color);

// Told apart by content: a "GIMP Palette" or "JASC-PAL" first line, else the binary file (its first
// 512 bytes; a shorter one leaves the rest zero). Text palettes hold 1..256 colours; the entries after
// them stay black. Raises a failure naming the file and the line for anything malformed.
PaletteFile parsePalette(std::span<const std::uint8_t> content, std::string_view name);
PaletteFile readPaletteFile(const std::string& path);
// The failure for a text palette larger than kMaxTextPaletteBytes.
platform::Failure paletteTooLarge(std::string_view name);

// The palette table in the given format. Text formats give each component as the window shows it
// (five bits times 8), which reads back to the same words with bit 0 clear.
std::string formatPalette(const PaletteFile& palette, PaletteFormat format);

}  // namespace nrbx::data
