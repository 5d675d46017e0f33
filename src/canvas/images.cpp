#include "canvas/images.h"

#include <algorithm>

#include "data/pattern.h"
#include "platform/simd.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace nrbx::canvas {

namespace {

ImageState g_images;

void clearCellBlocks(ImageState& s) {
    for (auto& row : s.cellBlock) row.fill(kNeverRendered);
}

void renderIndexRowScalar(const std::uint8_t* in, int count, const BlockColors& colors, std::uint8_t* out) {
    for (int x = 0; x < count; ++x, out += 3) {
        const auto& c = colors[in[x] & 0x0F];
        out[0] = c[0];
        out[1] = c[1];
        out[2] = c[2];
    }
}

#if defined(__x86_64__)

// A whole-picture render is 65536 table look-ups; done one pixel at a time it costs many times the
// copy that follows it. A byte shuffle looks up sixteen indices in a sixteen-entry table at once: one
// shuffle per colour component, then three more per 16 output bytes to interleave the components.

// For output byte j of 16-byte group k (byte 16k + j of the 48 that 16 pixels make), the pixel it
// belongs to if its component is `component`, else 0x80, which makes the shuffle yield zero there.
struct InterleaveMasks {
    alignas(16) std::uint8_t mask[3][3][16];  // [group][component][byte]
};

constexpr InterleaveMasks makeInterleaveMasks() {
    InterleaveMasks m{};
    for (int k = 0; k < 3; ++k)
        for (int c = 0; c < 3; ++c)
            for (int j = 0; j < 16; ++j) {
                const int byte = 16 * k + j;
                m.mask[k][c][j] = byte % 3 == c ? std::uint8_t(byte / 3) : std::uint8_t(0x80);
            }
    return m;
}

constexpr InterleaveMasks kInterleave = makeInterleaveMasks();

struct Avx2Tables {
    __m256i component[3];  // the block's blue, green and red bytes, in both lanes
    __m256i mask[3][3];    // kInterleave, in both lanes
};

__attribute__((target("avx2"))) inline __m256i inBothLanes(const std::uint8_t* p) {
    return _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(p)));
}

// Output group k of the 16 pixels in each lane.
__attribute__((target("avx2"))) inline __m256i interleaveGroup(const Avx2Tables& t, __m256i idx, int k) {
    const __m256i b = _mm256_shuffle_epi8(_mm256_shuffle_epi8(t.component[0], idx), t.mask[k][0]);
    const __m256i g = _mm256_shuffle_epi8(_mm256_shuffle_epi8(t.component[1], idx), t.mask[k][1]);
    const __m256i r = _mm256_shuffle_epi8(_mm256_shuffle_epi8(t.component[2], idx), t.mask[k][2]);
    return _mm256_or_si256(_mm256_or_si256(b, g), r);
}

__attribute__((target("avx2"))) void renderIndexRowAvx2(const std::uint8_t* in, int count,
                                                        const BlockColors& colors, std::uint8_t* out) {
    alignas(16) std::uint8_t planes[3][16];
    for (int i = 0; i < 16; ++i)
        for (int c = 0; c < 3; ++c) planes[c][i] = colors[i][c];
    Avx2Tables t;
    for (int c = 0; c < 3; ++c) t.component[c] = inBothLanes(planes[c]);
    for (int k = 0; k < 3; ++k)
        for (int c = 0; c < 3; ++c) t.mask[k][c] = inBothLanes(kInterleave.mask[k][c]);
    const __m256i low = _mm256_set1_epi8(0x0F);

    // The low lane works on pixels 0..15, the high lane on pixels 16..31.
    int x = 0;
    for (; x + 32 <= count; x += 32, out += 96) {
        const __m256i idx =
            _mm256_and_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + x)), low);
        const __m256i o0 = interleaveGroup(t, idx, 0), o1 = interleaveGroup(t, idx, 1);
        const __m256i o2 = interleaveGroup(t, idx, 2);
        // Lane order to memory order: bytes 0..47 come from the low lanes, 48..95 from the high lanes.
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), _mm256_permute2x128_si256(o0, o1, 0x20));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 32), _mm256_permute2x128_si256(o2, o0, 0x30));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 64), _mm256_permute2x128_si256(o1, o2, 0x31));
    }
    if (x + 16 <= count) {
        const __m128i idx128 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + x));
        const __m256i idx = _mm256_and_si256(_mm256_castsi128_si256(idx128), low);
        for (int k = 0; k < 3; ++k) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16 * k),
                             _mm256_castsi256_si128(interleaveGroup(t, idx, k)));
        }
        x += 16;
        out += 48;
    }
    renderIndexRowScalar(in + x, count - x, colors, out);
}

const bool kHasAvx2 = __builtin_cpu_supports("avx2");

#endif

}  // namespace

const ImageState& imageState() {
    return g_images;
}

void setPaletteBlock(int block) {
    g_images.paletteBlock = block;
}

void composeView(const std::function<void(const Image24& backing, Image24& view)>& compose) {
    compose(g_images.backing, g_images.view);
}

void resetImageState() {
    g_images.backing.bytes.fill(0);
    g_images.view.bytes.fill(0);
    g_images.paletteBlock = 0;
    clearCellBlocks(g_images);
}

void CreateImages() {
    auto& s = g_images;
    s.view.bytes.fill(0xFF);
    s.backing = s.view;
    clearCellBlocks(s);
}

std::array<std::uint8_t, 3> SplitColor(const data::Rgb& color) {
    return {color.blue, color.green, color.red};
}

BlockColors blockColors(int block) {
    const auto& table = data::paletteState().table;
    BlockColors colors;
    for (int i = 0; i < 16; ++i) colors[i] = SplitColor(table[block * 16 + i]);
    return colors;
}

void renderIndexRow(const std::uint8_t* indices, int count, const BlockColors& colors, std::uint8_t* out) {
#if defined(__x86_64__)
    if (kHasAvx2 && platform::vectorKernelsEnabled()) return renderIndexRowAvx2(indices, count, colors, out);
#endif
    renderIndexRowScalar(indices, count, colors, out);
}

void RenderCells(int x0, int y0, int x1, int y1) {
    auto& s = g_images;
    const auto& grid = data::patternState().grid;
    const BlockColors colors = blockColors(s.paletteBlock);

    // Rendering into the backing image and then copying it to the view leaves both images exactly as
    // rendering into the view and copying back would, with one copy fewer.
    const int cx0 = std::max(x0, 0), cx1 = std::min(x1, kCellsPerSide - 1);
    const int cy0 = std::max(y0, 0), cy1 = std::min(y1, kCellsPerSide - 1);
    if (cx0 <= cx1) {
        const int width = (cx1 - cx0 + 1) * kCellSize;
        for (int cy = cy0; cy <= cy1; ++cy) {
            for (int cx = cx0; cx <= cx1; ++cx) s.cellBlock[cy][cx] = s.paletteBlock;
            for (int y = cy * kCellSize; y < (cy + 1) * kCellSize; ++y) {
                renderIndexRow(grid.row(y) + cx0 * kCellSize, width, colors,
                               s.backing.pixel(cx0 * kCellSize, y));
            }
        }
    }
    s.view = s.backing;
}

}  // namespace nrbx::canvas
