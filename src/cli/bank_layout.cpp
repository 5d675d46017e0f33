#include "cli/bank_layout.h"

#include <algorithm>
#include <array>
#include <map>

#include "platform/failure.h"

namespace nrbx::cli {

namespace {

using data::kCellsPerSide;

platform::Failure cannotPlace(const std::string& why) {
    return platform::Failure(platform::FailureKind::Other, why);
}

std::string sizeText(const importing::BankPicture& p) {
    return std::to_string(p.columns) + " x " + std::to_string(p.rows) + " cells";
}

std::string cellsText(int n) {
    return std::to_string(n) + (n == 1 ? " cell" : " cells");
}

// Which picture holds each cell, -1 for none.
class Occupancy {
  public:
    Occupancy() { m_owner.fill(-1); }
    bool free(int x, int y, const importing::BankPicture& p) const { return owner(x, y, p) < 0; }
    // The first picture found under the rectangle, or -1.
    int owner(int x, int y, const importing::BankPicture& p) const {
        for (int cy = y; cy < y + p.rows; ++cy)
            for (int cx = x; cx < x + p.columns; ++cx)
                if (m_owner[std::size_t(cy * kCellsPerSide + cx)] >= 0)
                    return m_owner[std::size_t(cy * kCellsPerSide + cx)];
        return -1;
    }
    void take(int x, int y, const importing::BankPicture& p, int picture) {
        for (int cy = y; cy < y + p.rows; ++cy)
            for (int cx = x; cx < x + p.columns; ++cx)
                m_owner[std::size_t(cy * kCellsPerSide + cx)] = picture;
    }
    int freeCells() const { return int(std::count(m_owner.begin(), m_owner.end(), -1)); }

  private:
    std::array<int, data::kCellCount> m_owner;
};

PlacedPicture rectangle(const importing::BankPicture& p, CellPlace at) {
    PlacedPicture placed{at, {}};
    for (int py = 0; py < p.rows; ++py)
        for (int px = 0; px < p.columns; ++px)
            placed.sprites.push_back((at.second + py) * kCellsPerSide + at.first + px);
    return placed;
}

}  // namespace

std::vector<PlacedPicture> placeRectangles(const importing::Bank& bank, std::span<const std::string> names,
                                           std::span<const std::optional<CellPlace>> given) {
    std::vector<PlacedPicture> placed(bank.pictures.size());
    Occupancy cells;
    for (std::size_t i = 0; i < bank.pictures.size(); ++i) {
        if (!given[i]) continue;
        const importing::BankPicture& p = bank.pictures[i];
        const auto [x, y] = *given[i];
        if (x + p.columns > kCellsPerSide || y + p.rows > kCellsPerSide) {
            throw cannotPlace("picture " + names[i] + " of " + sizeText(p) + " put at cell " +
                              std::to_string(x) + "," + std::to_string(y) + " reaches past cell " +
                              std::to_string(kCellsPerSide - 1));
        }
        if (const int other = cells.owner(x, y, p); other >= 0) {
            throw cannotPlace("picture " + names[i] + " put at cell " + std::to_string(x) + "," +
                              std::to_string(y) + " overlaps picture " + names[std::size_t(other)]);
        }
        cells.take(x, y, p, int(i));
        placed[i] = rectangle(p, *given[i]);
    }
    for (std::size_t i = 0; i < bank.pictures.size(); ++i) {
        if (given[i]) continue;
        const importing::BankPicture& p = bank.pictures[i];
        std::optional<CellPlace> found;
        for (int y = 0; y + p.rows <= kCellsPerSide && !found; ++y)
            for (int x = 0; x + p.columns <= kCellsPerSide && !found; ++x)
                if (cells.free(x, y, p)) found = CellPlace{x, y};
        if (!found) {
            const int left = cells.freeCells();
            throw cannotPlace("picture " + names[i] + " of " + sizeText(p) +
                              " does not fit: " + cellsText(left) + (left == 1 ? " is" : " are") +
                              " left, and no free place holds it whole");
        }
        cells.take(found->first, found->second, p, int(i));
        placed[i] = rectangle(p, *found);
    }
    return placed;
}

std::vector<PlacedPicture> placeInSequence(const importing::Bank& bank, std::span<const std::string> names,
                                           bool dedupe, bool skipEmpty) {
    std::vector<PlacedPicture> placed(bank.pictures.size());
    std::map<std::pair<int, importing::CellIndices>, int> stored;
    int next = 0;
    for (std::size_t i = 0; i < bank.pictures.size(); ++i) {
        const importing::BankPicture& p = bank.pictures[i];
        const int left = data::kCellCount - next;
        for (std::size_t c = 0; c < p.cells.size(); ++c) {
            const importing::BankCell& cell = p.cells[c];
            int sprite = -1;
            if (!(skipEmpty && cell.empty)) {
                const auto key = std::make_pair(int(cell.block), cell.indices);
                if (const auto it = stored.find(key); dedupe && it != stored.end()) {
                    sprite = it->second;
                } else {
                    sprite = next++;
                    stored.emplace(key, sprite);
                }
            }
            placed[i].sprites.push_back(sprite);
        }
        if (next > data::kCellCount) {
            throw cannotPlace("picture " + names[i] + " of " + sizeText(p) + " does not fit: it needs " +
                              cellsText(next - (data::kCellCount - left)) + ", and " + cellsText(left) +
                              (left == 1 ? " is" : " are") + " left");
        }
    }
    return placed;
}

Sheet writeSheet(const importing::Bank& bank, std::span<const PlacedPicture> placed,
                 const importing::PatternBytes& base, int block) {
    Sheet sheet;
    sheet.pattern = base;
    sheet.blockMap.fill(std::uint8_t(block));
    for (std::size_t i = 0; i < bank.pictures.size(); ++i) {
        for (std::size_t c = 0; c < placed[i].sprites.size(); ++c) {
            const int n = placed[i].sprites[c];
            if (n < 0) continue;
            const importing::BankCell& cell = bank.pictures[i].cells[c];
            data::encodeSprite(cell.indices, std::span<std::uint8_t, data::kSpriteBytes>(
                                                 sheet.pattern.data() + std::size_t(n) * data::kSpriteBytes,
                                                 data::kSpriteBytes));
            sheet.blockMap[std::size_t(n)] = cell.block;
        }
    }
    return sheet;
}

}  // namespace nrbx::cli
