#pragma once
// The picture's cells as one conversion sees them: their pixels, where they land in the sprite picture,
// how messages name them, and their colour indices written into the result.

#include <cstddef>
#include <string>

#include "data/cell_grid.h"
#include "import/color_key.h"
#include "import/import_settings.h"
#include "import/picture.h"

namespace nrbx::importing {

class Cells {
  public:
    // clearBelow: alpha below it is transparent.
    Cells(const Picture& picture, const ImportSettings& settings, const std::string& name, int clearBelow)
        : m_picture(picture), m_settings(settings), m_name(name), m_clearBelow(clearBelow) {}
    int columns() const { return m_picture.width / data::kCellSize; }
    int rows() const { return m_picture.height / data::kCellSize; }
    int count() const { return columns() * rows(); }
    int spriteX(int px) const { return m_settings.atX + px; }
    int spriteY(int py) const { return m_settings.atY + py; }
    int sprite(int px, int py) const { return spriteY(py) * data::kCellsPerSide + spriteX(px); }
    const std::string& pictureName() const { return m_name; }
    // "cell 3,2", as numbered in the whole sprite picture.
    std::string cellName(int px, int py) const {
        return "cell " + std::to_string(spriteX(px)) + "," + std::to_string(spriteY(py));
    }
    // How a refusal starts: "picture hero.png, cell 3,2".
    std::string where(int px, int py) const { return "picture " + m_name + ", " + cellName(px, py); }

    // The 256 pixels of picture cell (px, py), row by row: f(index in the cell, index in the picture).
    template <class F>
    void forEachPixel(int px, int py, F&& f) const {
        for (int r = 0; r < data::kCellSize; ++r) {
            const std::size_t row =
                std::size_t(py * data::kCellSize + r) * m_picture.width + px * data::kCellSize;
            for (int c = 0; c < data::kCellSize; ++c) f(r * data::kCellSize + c, row + c);
        }
    }
    CellKeys keys(int px, int py) const {
        CellKeys keys;
        forEachPixel(px, py, [&](int i, std::size_t at) { keys[i] = keyOf(rgba(at), m_clearBelow); });
        return keys;
    }
    // The picture's own colour of the first pixel of that key, for messages.
    std::string colorOf(int px, int py, Key key) const {
        std::string found;
        forEachPixel(px, py, [&](int, std::size_t at) {
            if (found.empty() && keyOf(rgba(at), m_clearBelow) == key) found = colorName(rgba(at));
        });
        return found;
    }

    // The cell's indices and block into the result.
    void put(ImportResult& result, int px, int py, const CellIndices& indices, int block) const {
        const std::size_t n = std::size_t(sprite(px, py));
        data::encodeSprite(indices, std::span<std::uint8_t, data::kSpriteBytes>(
                                        result.pattern.data() + n * data::kSpriteBytes, data::kSpriteBytes));
        result.blockMap[n] = std::uint8_t(block);
    }

  private:
    const std::uint8_t* rgba(std::size_t at) const { return m_picture.rgba.data() + at * 4; }

    const Picture& m_picture;
    const ImportSettings& m_settings;
    const std::string& m_name;
    int m_clearBelow;
};

// A refusal of the picture, worded by the caller.
platform::Failure cannotImport(const std::string& why);

// A picture whose sides are not whole cells.
void refuseUnevenSides(const Picture& picture, const std::string& name);
// Partly transparent pixels are not made opaque or transparent behind the user's back: the refusal
// that counts them and names the first cell with one, unless there is none.
void refusePartlyTransparent(const Picture& picture, const Cells& cells);

}  // namespace nrbx::importing
