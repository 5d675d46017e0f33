#include "export/halftone.h"

#include <algorithm>
#include <limits>

#include "platform/simd.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace nrbx::exporting {

const std::array<data::Rgb, 16>& sixteenColorPalette() {
    static constexpr std::array<data::Rgb, 16> kTable = {{
        {0, 0, 0},
        {128, 0, 0},
        {0, 128, 0},
        {128, 128, 0},
        {0, 0, 128},
        {128, 0, 128},
        {0, 128, 128},
        {128, 128, 128},
        {192, 192, 192},
        {255, 0, 0},
        {0, 255, 0},
        {255, 255, 0},
        {0, 0, 255},
        {255, 0, 255},
        {0, 255, 255},
        {255, 255, 255},
    }};
    return kTable;
}

namespace {

std::array<data::Rgb, 256> buildHalftone() {
    std::vector<data::Rgb> colors(sixteenColorPalette().begin(), sixteenColorPalette().end());
    auto add = [&colors](data::Rgb c) {
        if (colors.size() < 256 && std::find(colors.begin(), colors.end(), c) == colors.end())
            colors.push_back(c);
    };
    static constexpr std::uint8_t kLevels[6] = {0, 51, 102, 153, 204, 255};
    for (auto r : kLevels)
        for (auto g : kLevels)
            for (auto b : kLevels) add({r, g, b});
    // Sprite colours are multiples of 8, so greys on that grid match grey sprites exactly.
    for (int v = 8; v < 256; v += 8) add({std::uint8_t(v), std::uint8_t(v), std::uint8_t(v)});
    for (int v = 4; v < 256; v += 8) add({std::uint8_t(v), std::uint8_t(v), std::uint8_t(v)});
    std::array<data::Rgb, 256> table{};
    std::copy(colors.begin(), colors.end(), table.begin());
    return table;
}

std::uint32_t keyOf(data::Rgb c) {
    return (std::uint32_t(c.red) << 16 | std::uint32_t(c.green) << 8 | c.blue) + 1;
}

constexpr std::size_t kSlots = 1024;  // a power of two, far above the colours one picture holds

}  // namespace

const std::array<data::Rgb, 256>& halftonePalette() {
    static const std::array<data::Rgb, 256> kTable = buildHalftone();
    return kTable;
}

NearestColorMap::NearestColorMap(std::span<const data::Rgb> table)
    : m_table(table), m_vector(platform::vectorKernelsEnabled()), m_keys(kSlots, 0), m_values(kSlots, 0) {
    m_redGreen.reserve(table.size());
    m_blue.reserve(table.size());
    for (const auto& c : table) {
        m_redGreen.push_back(std::uint32_t(c.red) | std::uint32_t(c.green) << 16);
        m_blue.push_back(c.blue);
    }
}

std::uint8_t NearestColorMap::search(data::Rgb c) const {
    int best = 0;
    int bestDistance = std::numeric_limits<int>::max();
    std::size_t i = 0;
#if defined(__SSE2__)
    // Four entries at a time; lane j keeps the first nearest of entries j, j + 4, j + 8, ..., and the
    // lanes are then reduced to the first nearest of all, as the plain loop below finds it.
    if (m_vector) {
        const __m128i colorRedGreen =
            _mm_set1_epi32(int(std::uint32_t(c.red) | std::uint32_t(c.green) << 16));
        const __m128i colorBlue = _mm_set1_epi32(c.blue);
        __m128i laneBest = _mm_set1_epi32(std::numeric_limits<int>::max());
        __m128i laneIndex = _mm_setzero_si128();
        __m128i index = _mm_setr_epi32(0, 1, 2, 3);
        const __m128i four = _mm_set1_epi32(4);
        for (; i + 4 <= m_table.size(); i += 4) {
            const __m128i rg = _mm_sub_epi16(
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(&m_redGreen[i])), colorRedGreen);
            const __m128i b =
                _mm_sub_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(&m_blue[i])), colorBlue);
            const __m128i d = _mm_add_epi32(_mm_madd_epi16(rg, rg), _mm_madd_epi16(b, b));
            const __m128i nearer = _mm_cmpgt_epi32(laneBest, d);
            laneBest = _mm_or_si128(_mm_and_si128(nearer, d), _mm_andnot_si128(nearer, laneBest));
            laneIndex = _mm_or_si128(_mm_and_si128(nearer, index), _mm_andnot_si128(nearer, laneIndex));
            index = _mm_add_epi32(index, four);
        }
        alignas(16) int distances[4], indices[4];
        _mm_store_si128(reinterpret_cast<__m128i*>(distances), laneBest);
        _mm_store_si128(reinterpret_cast<__m128i*>(indices), laneIndex);
        for (int j = 0; j < 4; ++j) {
            if (distances[j] < bestDistance || (distances[j] == bestDistance && indices[j] < best)) {
                bestDistance = distances[j];
                best = indices[j];
            }
        }
    }
#endif
    for (; i < m_table.size(); ++i) {
        const int dr = int(c.red) - m_table[i].red;
        const int dg = int(c.green) - m_table[i].green;
        const int db = int(c.blue) - m_table[i].blue;
        const int d = dr * dr + dg * dg + db * db;
        if (d < bestDistance) {
            bestDistance = d;
            best = int(i);
            if (d == 0) break;
        }
    }
    return static_cast<std::uint8_t>(best);
}

std::uint8_t NearestColorMap::operator()(data::Rgb color) {
    const std::uint32_t key = keyOf(color);
    if (key == m_lastKey) return m_lastValue;
    std::uint8_t value;
    if (m_used * 2 >= kSlots) {
        value = search(color);  // a picture of unusually many colours: stop remembering
    } else {
        std::size_t slot = (key * 2654435761u) & (kSlots - 1);
        while (m_keys[slot] != 0 && m_keys[slot] != key) slot = (slot + 1) & (kSlots - 1);
        if (m_keys[slot] == 0) {
            m_keys[slot] = key;
            m_values[slot] = search(color);
            ++m_used;
        }
        value = m_values[slot];
    }
    m_lastKey = key;
    m_lastValue = value;
    return value;
}

}  // namespace nrbx::exporting
