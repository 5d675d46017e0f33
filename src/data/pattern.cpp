#include "data/pattern.h"

#include <algorithm>
#include <vector>

#include "platform/file.h"

namespace nrbx::data {

namespace {
PatternState g_pattern;
}

PatternState& patternState() { return g_pattern; }
void resetPatternState() { g_pattern = PatternState{}; }

void ReadPatternFile(const std::string& path) {
    platform::InputFile file(path);
    const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(file.size(), kPatternBytes));
    // Read into scratch so a failed read leaves the buffer exactly as it was.
    std::vector<std::uint8_t> scratch(n);
    file.readExact(scratch.data(), n);
    std::copy(scratch.begin(), scratch.end(), g_pattern.buffer.begin());
}

void DecodePatterns() {
    // Sprite n is cell (n mod 16, n div 16); its 128 bytes are the left half (rows 0..15, 4 bytes each)
    // followed by the right half, two pixels per byte, high nibble on the left.
    const auto& buf = g_pattern.buffer;
    auto& grid = g_pattern.grid;
    for (int sr = 0; sr < kCellsPerSide; ++sr) {
        for (int sc = 0; sc < kCellsPerSide; ++sc) {
            for (int h = 0; h < 2; ++h) {
                for (int r = 0; r < kCellSize; ++r) {
                    std::uint8_t* out = grid.row(sr * kCellSize + r) + sc * kCellSize + h * 8;
                    const std::uint8_t* in = buf.data() + sr * 2048 + sc * 128 + h * 64 + r * 4;
                    for (int b = 0; b < 4; ++b) {
                        out[b * 2] = in[b] >> 4;
                        out[b * 2 + 1] = in[b] & 0x0F;
                    }
                }
            }
        }
    }
}

}  // namespace nrbx::data
