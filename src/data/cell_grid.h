#pragma once
// A 256 x 256 picture of colour indices 0..15, addressed (x, y); cell (cx, cy) is 16 x 16 of them.

#include <array>
#include <cstdint>

namespace nrbx::data {

constexpr int kPictureSize = 256;
constexpr int kCellSize = 16;
constexpr int kCellsPerSide = 16;
constexpr int kLastCell = kCellsPerSide - 1;  // the last cell's column or row number
constexpr int kCellPixels = kCellSize * kCellSize;
constexpr int kCellCount = kCellsPerSide * kCellsPerSide;  // one sprite each

class CellGrid {
  public:
    std::uint8_t& operator()(int x, int y) { return m_index[y * kPictureSize + x]; }
    std::uint8_t operator()(int x, int y) const { return m_index[y * kPictureSize + x]; }
    // Stored row by row so rendering walks it in the same order as the images.
    std::uint8_t* row(int y) { return m_index.data() + y * kPictureSize; }
    const std::uint8_t* row(int y) const { return m_index.data() + y * kPictureSize; }
    void fill(std::uint8_t value) { m_index.fill(value); }
    bool operator==(const CellGrid&) const = default;

  private:
    std::array<std::uint8_t, kPictureSize * kPictureSize> m_index{};
};

// A rectangle of cells between two corner cells, both included. Where it is ordered (x0 <= x1,
// y0 <= y1) the code says so; a rectangle with x1 < x0 or y1 < y0 is then empty. The selection keeps
// its corners as the user made them: the anchor (x0, y0) and the moving cell (x1, y1).
struct CellRect {
    int x0 = 0;
    int y0 = 0;
    int x1 = 0;
    int y1 = 0;
    bool operator==(const CellRect&) const = default;
};

}  // namespace nrbx::data
