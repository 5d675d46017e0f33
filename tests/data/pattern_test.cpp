#include "data/pattern.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <random>

#include "platform/failure.h"
#include "platform/file.h"
#include "platform/simd.h"
#include "support/test_support.h"

using nrbx::data::DecodePatterns;
using nrbx::data::patternState;
using nrbx::data::ReadPatternFile;
using nrbx::platform::Failure;
using nrbx::platform::FailureKind;
using nrbx::testing::writeBytes;

namespace {

class PatternLoad : public nrbx::testing::CoreTest {
  protected:
    void load(const std::vector<std::uint8_t>& bytes) {
        writeBytes(file("p.pcg"), bytes);
        ReadPatternFile(file("p.pcg"));
        DecodePatterns();
    }
    std::uint8_t at(int x, int y) const { return patternState().grid(x, y); }
};

std::vector<std::uint8_t> withByte(std::size_t size, std::size_t offset, std::uint8_t value) {
    std::vector<std::uint8_t> bytes(size, 0);
    bytes[offset] = value;
    return bytes;
}

}  // namespace

TEST_F(PatternLoad, DecodesEachByteToItsTwoPixels) {
    struct Case {
        std::size_t offset;
        int x, y;
    };
    // Left half rows 0..7, left rows 8..15, right half, next sprite, next sprite row.
    for (const Case c : {Case{0, 0, 0}, Case{32, 0, 8}, Case{64, 8, 0}, Case{128, 16, 0}, Case{2048, 0, 16},
                         Case{3, 6, 0}, Case{127, 14, 15}, Case{32767, 254, 255}}) {
        load(withByte(32768, c.offset, 0x1F));
        EXPECT_EQ(at(c.x, c.y), 1) << "byte " << c.offset;
        EXPECT_EQ(at(c.x + 1, c.y), 15) << "byte " << c.offset;
        int nonZero = 0;
        for (int y = 0; y < 256; ++y)
            for (int x = 0; x < 256; ++x) nonZero += at(x, y) != 0;
        EXPECT_EQ(nonZero, 2) << "byte " << c.offset;
    }
}

TEST_F(PatternLoad, DecodesEveryRowAndColumnOfEverySpriteWithEitherKernelAndEncodesBack) {
    std::mt19937 random(16);
    std::vector<std::uint8_t> bytes(32768);
    for (auto& b : bytes) b = static_cast<std::uint8_t>(random());
    for (const bool vector : {true, false}) {
        nrbx::platform::setVectorKernelsEnabled(vector);
        load(bytes);
        for (int y = 0; y < 256; ++y) {
            for (int x = 0; x < 256; ++x) {
                // Sprite (x / 16, y / 16): left half of 64 bytes, then the right half; 4 bytes per row.
                const int column = x % 16, row = y % 16;
                const std::size_t offset = static_cast<std::size_t>(
                    (y / 16 * 16 + x / 16) * 128 + (column / 8) * 64 + row * 4 + column % 8 / 2);
                const int expected = column % 2 == 0 ? bytes[offset] >> 4 : bytes[offset] & 0x0F;
                ASSERT_EQ(at(x, y), expected) << x << "," << y << (vector ? " vector" : " plain");
            }
        }
    }
    // Encoding is the inverse: each sprite's indices give back its bytes.
    std::array<std::uint8_t, 256> cell;
    std::array<std::uint8_t, 128> sprite;
    for (int n = 0; n < 256; ++n) {
        for (int i = 0; i < 256; ++i) cell[i] = at(n % 16 * 16 + i % 16, n / 16 * 16 + i / 16);
        nrbx::data::encodeSprite(cell, sprite);
        ASSERT_TRUE(std::equal(sprite.begin(), sprite.end(), bytes.begin() + n * 128)) << "sprite " << n;
    }
}

TEST_F(PatternLoad, EmptyFileReadsNothingAndDecodesTheUnchangedBuffer) {
    load(std::vector<std::uint8_t>(32768, 0x21));
    load({});
    EXPECT_EQ(at(0, 0), 2);
    EXPECT_EQ(at(255, 255), 1);
    nrbx::testing::resetCore();
    load({});
    for (int y = 0; y < 256; y += 17)
        for (int x = 0; x < 256; x += 13) EXPECT_EQ(at(x, y), 0);
}

TEST_F(PatternLoad, ShortFileKeepsTailOfEarlierFile) {
    load(std::vector<std::uint8_t>(32768, 0x33));
    load(std::vector<std::uint8_t>(128, 0x44));
    EXPECT_EQ(at(0, 0), 4);  // sprite 0 from the new file
    EXPECT_EQ(at(15, 15), 4);
    EXPECT_EQ(at(16, 0), 3);  // sprite 1 and on from the earlier one
    EXPECT_EQ(at(255, 255), 3);
}

TEST_F(PatternLoad, LongFileContributesOnlyItsFirst32768Bytes) {
    std::vector<std::uint8_t> bytes(40000, 0x55);
    for (std::size_t i = 32768; i < bytes.size(); ++i) bytes[i] = 0xAA;
    load(bytes);
    EXPECT_EQ(at(255, 255), 5);
    EXPECT_EQ(patternState().buffer.back(), 0x55);
}

TEST_F(PatternLoad, FailuresLeaveBufferAndGridAsBefore) {
    load(std::vector<std::uint8_t>(32768, 0x66));
    const auto before = patternState();

    auto expectFailure = [&](const std::string& path, FailureKind kind) {
        try {
            ReadPatternFile(path);
            ADD_FAILURE() << "no failure for " << path;
        } catch (const Failure& f) {
            EXPECT_EQ(f.kind(), kind) << path;
        }
        EXPECT_EQ(patternState().buffer, before.buffer) << path;
        EXPECT_EQ(patternState().grid, before.grid) << path;
    };
    expectFailure(file("missing.pcg"), FailureKind::FileOpen);
    expectFailure(dir(), FailureKind::FileOpen);

    writeBytes(file("short.pcg"), std::vector<std::uint8_t>(32768, 0x77));
    nrbx::platform::setFileFaults({.readBudget = 1000, .writeBudget = {}});
    expectFailure(file("short.pcg"), FailureKind::StreamRead);
}
