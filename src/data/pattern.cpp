#include "data/pattern.h"

#include <algorithm>
#include <array>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "platform/file.h"
#include "platform/simd.h"

namespace nrbx::data {

namespace {
PatternState g_pattern;
}

const PatternState& patternState() {
    return g_pattern;
}
void resetPatternState() {
    g_pattern = PatternState{};
}

void setPatternGrid(const CellGrid& grid) {
    g_pattern.grid = grid;
}

namespace {

bool insidePicture(int cx, int cy) {
    return cx >= 0 && cy >= 0 && cx < kCellsPerSide && cy < kCellsPerSide;
}

}  // namespace

void copyCells(const CellGrid& source, int x0, int y0, int x1, int y1, int sx, int sy) {
    for (int cy = y0; cy <= y1; ++cy) {
        for (int cx = x0; cx <= x1; ++cx) {
            const int scx = sx + cx - x0, scy = sy + cy - y0;
            if (!insidePicture(cx, cy) || !insidePicture(scx, scy)) continue;
            for (int py = 0; py < kCellSize; ++py) {
                const std::uint8_t* in = source.row(scy * kCellSize + py) + scx * kCellSize;
                std::uint8_t* out = g_pattern.grid.row(cy * kCellSize + py) + cx * kCellSize;
                for (int px = 0; px < kCellSize; ++px) out[px] = in[px];
            }
        }
    }
}

void ReadPatternFile(const std::string& path) {
    platform::InputFile file(path);
    // Read into scratch so a failed read leaves the buffer exactly as it was; a shorter file fills only
    // its part, a longer one only the buffer.
    std::array<std::uint8_t, kPatternBytes> scratch;
    const std::size_t n = file.readUpTo(scratch.data(), scratch.size());
    std::copy_n(scratch.begin(), n, g_pattern.buffer.begin());
}

void LoadPatternBytes(std::span<const std::uint8_t> bytes) {
    std::copy_n(bytes.begin(), std::min(bytes.size(), kPatternBytes), g_pattern.buffer.begin());
}

namespace {

// Rows r..r+3 of a sprite: 16 bytes of its left half and 16 of its right half, each byte two pixels.
void decodeFourRowsPlain(const std::uint8_t* left, const std::uint8_t* right, std::uint8_t* const out[4]) {
    for (int i = 0; i < 4; ++i) {
        for (int b = 0; b < 4; ++b) {
            out[i][b * 2] = left[i * 4 + b] >> 4;
            out[i][b * 2 + 1] = left[i * 4 + b] & 0x0F;
            out[i][8 + b * 2] = right[i * 4 + b] >> 4;
            out[i][8 + b * 2 + 1] = right[i * 4 + b] & 0x0F;
        }
    }
}

#if defined(__SSE2__)
void decodeFourRowsSse2(const std::uint8_t* left, const std::uint8_t* right, std::uint8_t* const out[4]) {
    // Splitting every byte into its nibbles and interleaving them yields the rows in order; one store
    // per 16-pixel row instead of sixteen.
    const __m128i low = _mm_set1_epi8(0x0F);
    const __m128i l = _mm_loadu_si128(reinterpret_cast<const __m128i*>(left));
    const __m128i r = _mm_loadu_si128(reinterpret_cast<const __m128i*>(right));
    const __m128i lHigh = _mm_and_si128(_mm_srli_epi16(l, 4), low), lLow = _mm_and_si128(l, low);
    const __m128i rHigh = _mm_and_si128(_mm_srli_epi16(r, 4), low), rLow = _mm_and_si128(r, low);
    const __m128i l01 = _mm_unpacklo_epi8(lHigh, lLow), l23 = _mm_unpackhi_epi8(lHigh, lLow);
    const __m128i r01 = _mm_unpacklo_epi8(rHigh, rLow), r23 = _mm_unpackhi_epi8(rHigh, rLow);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out[0]), _mm_unpacklo_epi64(l01, r01));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out[1]), _mm_unpackhi_epi64(l01, r01));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out[2]), _mm_unpacklo_epi64(l23, r23));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out[3]), _mm_unpackhi_epi64(l23, r23));
}
#endif

using DecodeFourRows = void (*)(const std::uint8_t*, const std::uint8_t*, std::uint8_t* const[4]);

// Sprite n is cell (n mod 16, n div 16); its 128 bytes are the left half (rows 0..15, 4 bytes each)
// followed by the right half, two pixels per byte, high nibble on the left.
template <DecodeFourRows decodeFourRows>
void decodeAll() {
    const auto& buf = g_pattern.buffer;
    auto& grid = g_pattern.grid;
    for (int sr = 0; sr < kCellsPerSide; ++sr) {
        for (int sc = 0; sc < kCellsPerSide; ++sc) {
            const std::uint8_t* sprite = buf.data() + (sr * kCellsPerSide + sc) * kSpriteBytes;
            for (int r = 0; r < kCellSize; r += 4) {
                std::uint8_t* const out[4] = {grid.row(sr * kCellSize + r) + sc * kCellSize,
                                              grid.row(sr * kCellSize + r + 1) + sc * kCellSize,
                                              grid.row(sr * kCellSize + r + 2) + sc * kCellSize,
                                              grid.row(sr * kCellSize + r + 3) + sc * kCellSize};
                decodeFourRows(sprite + r * 4, sprite + kSpriteBytes / 2 + r * 4, out);
            }
        }
    }
}

}  // namespace

void DecodePatterns() {
#if defined(__SSE2__)
    if (platform::vectorKernelsEnabled()) return decodeAll<decodeFourRowsSse2>();
#endif
    decodeAll<decodeFourRowsPlain>();
}

void encodeSprite(std::span<const std::uint8_t, kCellPixels> indices,
                  std::span<std::uint8_t, kSpriteBytes> sprite) {
    constexpr int kHalf = kCellSize / 2;
    for (int r = 0; r < kCellSize; ++r) {
        for (int b = 0; b < kHalf / 2; ++b) {
            const std::uint8_t* left = indices.data() + r * kCellSize + 2 * b;
            sprite[r * 4 + b] = std::uint8_t(left[0] << 4 | left[1]);
            sprite[kSpriteBytes / 2 + r * 4 + b] = std::uint8_t(left[kHalf] << 4 | left[kHalf + 1]);
        }
    }
}

}  // namespace nrbx::data
