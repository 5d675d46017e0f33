#include "export/export_image.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "canvas/selection.h"
#include "export/halftone.h"
#include "platform/simd.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace nrbx::exporting {

data::Rgb ExportImage::color(int x, int y) const {
    const auto i = static_cast<std::size_t>(y) * width + x;
    if (bpp == 24) return data::Rgb{pixels[i * 3 + 2], pixels[i * 3 + 1], pixels[i * 3]};
    return colorTable[pixels[i]];
}

ExportImage wholePictureExport() {
    ExportImage image;
    wholePictureExport(image);
    return image;
}

void wholePictureExport(ExportImage& image) {
    const auto& backing = canvas::imageState().backing;
    image.width = canvas::Image24::kWidth;
    image.height = canvas::Image24::kHeight;
    image.bpp = 24;
    image.pixels.assign(backing.bytes.begin(), backing.bytes.end());
    image.colorTable.clear();
    image.alpha.clear();
}

ExportImage selectionExport(int x0, int y0, int x1, int y1) {
    auto [xmin, xmax] = canvas::OrderPair(x0, x1);
    auto [ymin, ymax] = canvas::OrderPair(y0, y1);
    xmin = canvas::ClampInt(xmin, 0, canvas::kLastCell), xmax = canvas::ClampInt(xmax, 0, canvas::kLastCell);
    ymin = canvas::ClampInt(ymin, 0, canvas::kLastCell), ymax = canvas::ClampInt(ymax, 0, canvas::kLastCell);
    const auto& backing = canvas::imageState().backing;
    ExportImage image;
    image.width = (xmax - xmin + 1) * canvas::kCellSize;
    image.height = (ymax - ymin + 1) * canvas::kCellSize;
    const std::size_t rowBytes = static_cast<std::size_t>(image.width) * 3;
    image.pixels.resize(rowBytes * image.height);
    for (int y = 0; y < image.height; ++y) {
        std::memcpy(image.pixels.data() + y * rowBytes,
                    backing.pixel(xmin * canvas::kCellSize, ymin * canvas::kCellSize + y), rowBytes);
    }
    return image;
}

namespace {

// Pixels are matched two at a time: the six bytes of a pair are one key into a direct-mapped cache of
// the pairs already matched. Pairs repeat all over a sprite picture, so nearly every look-up is a hit,
// costing a few instructions and no hard-to-predict branch, where the colour map's probing of each pixel
// costs several times that. Every slot always holds a true pair of key and indices (it starts as two
// black pixels), so a hit needs no check beyond the key.
class PixelPairCache {
  public:
    static constexpr int kSlotBits = 12;
    static constexpr std::uint32_t kFirstFactor = 0x9E3779B1u, kSecondFactor = 0x85EBCA6Bu;

    explicit PixelPairCache(NearestColorMap& nearest) : m_nearest(nearest) {
        const std::uint8_t black = nearest(data::Rgb{0, 0, 0});
        m_slots.fill(std::uint64_t{black} << 8 | black);
    }

    // The pair's six bytes (blue, green, red, blue, green, red) in the high 48 bits, the low 16 zero.
    static std::uint64_t keyOf(const std::uint8_t* p) {
        std::uint64_t key = 0;
        for (int i = 5; i >= 0; --i) key = key << 8 | p[i];
        return key << 16;
    }
    // Two rounds of multiplying, so that every byte reaches the top bits: sprite colours differ in few
    // bits (multiples of 8), which a single linear round maps onto too few slots.
    static std::uint32_t slotOf(std::uint64_t key) {
        std::uint32_t a = std::uint32_t(key >> 16) * kFirstFactor;
        a ^= a >> 15;
        return ((a ^ std::uint32_t(key >> 48)) * kSecondFactor) >> (32 - kSlotBits);
    }

    // The slot of a pair with that key: a key in the high 48 bits, the two indices in the low 16.
    std::uint64_t& slot(std::uint64_t key) { return m_slots[slotOf(key)]; }
    const std::uint64_t* slots() const { return m_slots.data(); }

    // The two indices of the pair at p, in the low 16 bits.
    std::uint32_t match(const std::uint8_t* p) {
        const std::uint64_t key = keyOf(p);
        std::uint64_t& s = slot(key);
        // Slot and key agree in their 48 key bits exactly when this leaves only the two indices.
        if ((s ^ key) > 0xFFFF) [[unlikely]]
            s = fill(key, p);
        return std::uint32_t(s ^ key);
    }

    // The index of the single pixel at p.
    std::uint8_t matchOne(const std::uint8_t* p) { return m_nearest(data::Rgb{p[2], p[1], p[0]}); }

  private:
    [[gnu::noinline]] std::uint64_t fill(std::uint64_t key, const std::uint8_t* p) {
        return key | std::uint64_t{matchOne(p + 3)} << 8 | matchOne(p);
    }

    NearestColorMap& m_nearest;
    std::array<std::uint64_t, std::size_t{1} << kSlotBits> m_slots;
};

void matchScalar(PixelPairCache& cache, const std::uint8_t* in, std::size_t count, std::uint8_t* out) {
    std::size_t i = 0;
    for (; i + 2 <= count; i += 2) {
        const std::uint32_t indices = cache.match(in + i * 3);
        out[i] = std::uint8_t(indices);
        out[i + 1] = std::uint8_t(indices >> 8);
    }
    if (i < count) out[i] = cache.matchOne(in + i * 3);
}

#if defined(__x86_64__)

// Four pairs at a time: their keys and slots are computed side by side and the four slots fetched by one
// gather. A group with any miss is done again pair by pair, which fills the cache.
__attribute__((target("avx2"))) void matchAvx2(PixelPairCache& cache, const std::uint8_t* in,
                                               std::size_t count, std::uint8_t* out) {
    // Lane 0 holds bytes 0..15 and lane 1 bytes 8..23 of the group; each makes two keys of them.
    const __m256i toKeys = _mm256_setr_epi8(-1, -1, 0, 1, 2, 3, 4, 5, -1, -1, 6, 7, 8, 9, 10, 11,  //
                                            -1, -1, 4, 5, 6, 7, 8, 9, -1, -1, 10, 11, 12, 13, 14, 15);
    const __m256i firstFactor = _mm256_set1_epi32(int(PixelPairCache::kFirstFactor));
    const __m256i secondFactor = _mm256_set1_epi32(int(PixelPairCache::kSecondFactor));
    const __m256i evenDwords = _mm256_setr_epi32(0, 2, 4, 6, 0, 0, 0, 0);
    const __m256i keyBits = _mm256_set1_epi64x(~std::int64_t{0xFFFF});
    // The two index bytes of each slot, lane by lane to the low four bytes, then both lanes together.
    const __m256i indexBytes =
        _mm256_setr_epi8(0, 1, 8, 9, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,  //
                         0, 1, 8, 9, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
    const __m256i joinLanes = _mm256_setr_epi32(0, 4, 0, 0, 0, 0, 0, 0);
    const auto* slots = reinterpret_cast<const long long*>(cache.slots());
    std::size_t i = 0;
    for (; i + 8 <= count; i += 8) {
        const std::uint8_t* p = in + i * 3;
        const __m256i bytes = _mm256_setr_m128i(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)),
                                                _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 8)));
        const __m256i keys = _mm256_shuffle_epi8(bytes, toKeys);
        // slotOf in the low half of each 64-bit lane (the high halves are not used).
        __m256i a = _mm256_mullo_epi32(_mm256_srli_epi64(keys, 16), firstFactor);
        a = _mm256_xor_si256(a, _mm256_srli_epi32(a, 15));
        const __m256i mixed =
            _mm256_mullo_epi32(_mm256_xor_si256(a, _mm256_srli_epi64(keys, 48)), secondFactor);
        const __m256i where =
            _mm256_permutevar8x32_epi32(_mm256_srli_epi32(mixed, 32 - PixelPairCache::kSlotBits), evenDwords);
        const __m256i found = _mm256_i32gather_epi64(slots, _mm256_castsi256_si128(where), 8);
        const __m256i indices = _mm256_xor_si256(found, keys);
        if (!_mm256_testz_si256(indices, keyBits)) [[unlikely]] {
            matchScalar(cache, p, 8, out + i);
            continue;
        }
        const __m256i packed =
            _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(indices, indexBytes), joinLanes);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + i), _mm256_castsi256_si128(packed));
    }
    matchScalar(cache, in + i * 3, count - i, out + i);
}

const bool kHasAvx2 = __builtin_cpu_supports("avx2");

#endif

void toIndexed(ExportImage& image, std::span<const data::Rgb> table, int bpp) {
    NearestColorMap nearest(table);
    PixelPairCache cache(nearest);
    const std::size_t count = static_cast<std::size_t>(image.width) * image.height;
    // In place: index i is stored at byte i, after the pixels from byte 3i on have been read (each step
    // reads its group before it stores), so nothing unread is overwritten. The buffer keeps its
    // capacity, and a batch that reuses the image allocates nothing here.
    std::uint8_t* pixels = image.pixels.data();
#if defined(__x86_64__)
    if (kHasAvx2 && platform::vectorKernelsEnabled()) {
        matchAvx2(cache, pixels, count, pixels);
    } else {
        matchScalar(cache, pixels, count, pixels);
    }
#else
    matchScalar(cache, pixels, count, pixels);
#endif
    image.pixels.resize(count);
    image.colorTable.assign(table.begin(), table.end());
    image.bpp = bpp;
}

void toDirect(ExportImage& image) {
    const std::size_t count = static_cast<std::size_t>(image.width) * image.height;
    std::vector<std::uint8_t> bgr(count * 3);
    for (std::size_t i = 0; i < count; ++i) {
        const data::Rgb c = image.colorTable[image.pixels[i]];
        bgr[i * 3] = c.blue;
        bgr[i * 3 + 1] = c.green;
        bgr[i * 3 + 2] = c.red;
    }
    image.pixels = std::move(bgr);
    image.colorTable.clear();
    image.bpp = 24;
}

}  // namespace

void SetExportDepth(ExportImage& image, int bpp) {
    if (bpp != 24 && bpp != 8 && bpp != 4) return;
    if (image.bpp != 24) toDirect(image);
    if (bpp == 8) toIndexed(image, halftonePalette(), 8);
    if (bpp == 4) toIndexed(image, sixteenColorPalette(), 4);
}

}  // namespace nrbx::exporting
