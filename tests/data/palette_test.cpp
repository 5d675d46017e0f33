#include "data/palette.h"

#include <gtest/gtest.h>

#include "platform/failure.h"
#include "platform/file.h"
#include "support/test_support.h"

using nrbx::data::paletteState;
using nrbx::data::Rgb;
using nrbx::testing::writeBytes;

namespace {

class PaletteLoad : public nrbx::testing::CoreTest {
  protected:
    void load(const std::vector<std::uint8_t>& bytes) {
        writeBytes(file("p.pal"), bytes);
        nrbx::data::ReadPaletteFile(file("p.pal"));
        nrbx::data::UnpackPaletteWords();
        nrbx::data::BuildPaletteColors();
    }
};

}  // namespace

TEST(PaletteWords, ComponentsAreFiveBitFieldsTimesEight) {
    using nrbx::data::colorFromWord;
    EXPECT_EQ(colorFromWord(0xFFFF), (Rgb{248, 248, 248}));
    EXPECT_EQ(colorFromWord(0x0001), (Rgb{0, 0, 0}));
    EXPECT_EQ(colorFromWord(0xF800), (Rgb{0, 248, 0}));
    EXPECT_EQ(colorFromWord(0x07C0), (Rgb{248, 0, 0}));
    EXPECT_EQ(colorFromWord(0x003E), (Rgb{0, 0, 248}));
    EXPECT_EQ(colorFromWord(0x1234), (Rgb{64, 16, 208}));
}

TEST_F(PaletteLoad, WordsAreBigEndianAndFillTheTableInOrder) {
    std::vector<std::uint8_t> bytes(512, 0);
    bytes[0] = 0x12, bytes[1] = 0x34;
    bytes[510] = 0x07, bytes[511] = 0xC0;
    load(bytes);
    EXPECT_EQ(paletteState().words[0], 0x1234);
    EXPECT_EQ(paletteState().table[0], (Rgb{64, 16, 208}));
    EXPECT_EQ(paletteState().table[255], (Rgb{248, 0, 0}));
    EXPECT_EQ(paletteState().table[1], (Rgb{0, 0, 0}));
}

TEST_F(PaletteLoad, DefaultPaletteGivesEveryBlockTheSameSixteenColours) {
    const auto& t = paletteState().table;
    for (int block = 0; block < 16; ++block) {
        EXPECT_EQ(t[block * 16 + 0], (Rgb{0, 0, 0}));
        EXPECT_EQ(t[block * 16 + 1], (Rgb{0, 248, 248}));
        EXPECT_EQ(t[block * 16 + 2], (Rgb{248, 248, 0}));
        EXPECT_EQ(t[block * 16 + 3], (Rgb{248, 248, 248}));
        for (int i = 4; i <= 7; ++i) EXPECT_EQ(t[block * 16 + i], (Rgb{208, 200, 176}));
        for (int i = 8; i <= 14; ++i) EXPECT_EQ(t[block * 16 + i], (Rgb{56, 8, 64}));
        EXPECT_EQ(t[block * 16 + 15], (Rgb{248, 248, 248}));
    }
}

TEST_F(PaletteLoad, ShortFileFirstBlackensTheRestAndAfterAFullFileKeepsItsTail) {
    load(std::vector<std::uint8_t>(32, 0xFF));
    EXPECT_EQ(paletteState().table[15], (Rgb{248, 248, 248}));
    EXPECT_EQ(paletteState().table[16], (Rgb{0, 0, 0}));
    EXPECT_EQ(paletteState().table[255], (Rgb{0, 0, 0}));

    std::vector<std::uint8_t> full(512);
    for (int k = 0; k < 256; ++k) full[2 * k] = 0xF8, full[2 * k + 1] = 0x00;  // green everywhere
    load(full);
    load(std::vector<std::uint8_t>(4, 0x00));
    EXPECT_EQ(paletteState().table[0], (Rgb{0, 0, 0}));
    EXPECT_EQ(paletteState().table[1], (Rgb{0, 0, 0}));
    EXPECT_EQ(paletteState().table[2], (Rgb{0, 248, 0}));
    EXPECT_EQ(paletteState().table[255], (Rgb{0, 248, 0}));
}

TEST_F(PaletteLoad, LongFileUsesOnlyTheFirst512Bytes) {
    std::vector<std::uint8_t> bytes(600, 0xFF);
    load(bytes);
    EXPECT_EQ(paletteState().table[255], (Rgb{248, 248, 248}));
}

TEST_F(PaletteLoad, FailedReadKeepsBytesWordsAndTable) {
    load(std::vector<std::uint8_t>(512, 0x12));
    const auto before = paletteState();
    writeBytes(file("next.pal"), std::vector<std::uint8_t>(512, 0xEE));
    nrbx::platform::setFileFaults({.readBudget = 100, .writeBudget = {}});
    EXPECT_THROW(nrbx::data::ReadPaletteFile(file("next.pal")), nrbx::platform::Failure);
    EXPECT_EQ(paletteState().bytes, before.bytes);
    EXPECT_EQ(paletteState().words, before.words);
    EXPECT_EQ(paletteState().table, before.table);
    EXPECT_THROW(nrbx::data::ReadPaletteFile(file("none.pal")), nrbx::platform::Failure);
    EXPECT_EQ(paletteState().bytes, before.bytes);
}
