// Palette interchange: each format read back to the same words, and malformed files named clearly.

#include "data/palette_formats.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/failure.h"

namespace nrbx::data {
namespace {

std::span<const std::uint8_t> bytesOf(const std::string& text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

PaletteFile sample() {
    PaletteFile palette;
    for (int k = 0; k < kPaletteEntries; ++k) {
        // Words spread over the whole range, bit 0 set on odd entries.
        const auto w = std::uint16_t(((k * 2654435761u >> 7) & 0xFFFE) | (k & 1));
        palette.bytes[2 * k] = std::uint8_t(w >> 8);
        palette.bytes[2 * k + 1] = std::uint8_t(w);
    }
    return palette;
}

std::string failureOf(const std::string& text) {
    try {
        parsePalette(bytesOf(text), "p.gpl");
    } catch (const platform::Failure& failure) {
        return failure.message();
    }
    return "";
}

TEST(PaletteFormats, EachFormatReadsBackToTheSameWordsWithBitZeroClear) {
    const PaletteFile original = sample();
    for (PaletteFormat format : {PaletteFormat::Binary, PaletteFormat::Gimp, PaletteFormat::Jasc}) {
        SCOPED_TRACE(toString(format));
        const PaletteFile back = parsePalette(bytesOf(formatPalette(original, format)), "p");
        EXPECT_EQ(back.format, format);
        for (int k = 0; k < kPaletteEntries; ++k) {
            const std::uint16_t expected =
                format == PaletteFormat::Binary ? original.word(k) : std::uint16_t(original.word(k) & 0xFFFE);
            ASSERT_EQ(back.word(k), expected) << "entry " << k;
        }
    }
}

TEST(PaletteFormats, TextPalettesTakeTopFiveBitsAndLeaveTheRestBlack) {
    const PaletteFile gimp = parsePalette(
        bytesOf("GIMP Palette\nName: x\nColumns: 4\n# comment\n\n255 0 7 red\r\n  8\t16 24\n"), "g.gpl");
    EXPECT_EQ(gimp.word(0), 31 << 6);
    EXPECT_EQ(gimp.word(1), 2 << 11 | 1 << 6 | 3 << 1);
    EXPECT_EQ(gimp.word(2), 0);
    const PaletteFile jasc =
        parsePalette(bytesOf("JASC-PAL\r\n0100\r\n2\r\n0 0 255\r\n0 255 0\r\n"), "j.pal");
    EXPECT_EQ(jasc.format, PaletteFormat::Jasc);
    EXPECT_EQ(jasc.word(0), 31 << 1);
    EXPECT_EQ(jasc.word(1), 31 << 11);
    EXPECT_EQ(jasc.word(255), 0);
    // A short binary file keeps what it has.
    const PaletteFile shortBinary = parsePalette(bytesOf(std::string("\x12\x35", 2)), "b.pal");
    EXPECT_EQ(shortBinary.word(0), 0x1235);
    EXPECT_EQ(shortBinary.word(1), 0);
}

TEST(PaletteFormats, MalformedTextPalettesNameFileAndLine) {
    EXPECT_EQ(failureOf("GIMP Palette\n1 2 3\n1 2 300\n"),
              "palette p.gpl, line 3: not a colour \"R G B\" of 0..255");
    EXPECT_EQ(failureOf("GIMP Palette\n1 2\n"), "palette p.gpl, line 2: not a colour \"R G B\" of 0..255");
    EXPECT_EQ(failureOf("GIMP Palette\n# none\n"), "palette p.gpl: no colours");
    std::string big = "GIMP Palette\n";
    for (int k = 0; k < 257; ++k) big += "1 2 3\n";
    EXPECT_EQ(failureOf(big), "palette p.gpl, line 258: more than 256 colours");
    EXPECT_EQ(failureOf("JASC-PAL\n0100\n3\n1 2 3\n4 5 6\n"), "palette p.gpl: truncated: 2 of 3 colours");
    EXPECT_EQ(failureOf("JASC-PAL\n0100\n257\n"), "palette p.gpl, line 3: colour count is not 1..256");
    EXPECT_EQ(failureOf("JASC-PAL\n0200\n1\n1 2 3\n"), "palette p.gpl, line 2: not JASC-PAL version 0100");
}

}  // namespace
}  // namespace nrbx::data
