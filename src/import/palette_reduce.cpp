#include "import/palette_reduce.h"

#include <utility>

#include "import/reduce.h"

namespace nrbx::importing {

void importReducing(const Picture& picture, const Cells& cells, const ImportSettings& settings,
                    ImportResult& result) {
    ReduceSettings reduce = *settings.reduce;
    reduce.alphaThreshold = settings.alphaThreshold.value_or(kDefaultAlphaThreshold);
    Reduction reduction = reduceColours(std::span(&picture, 1), reduce);
    const ReducedPicture& reduced = reduction.pictures.front();
    const std::string& name = cells.pictureName();
    if (reduction.roundedAlpha > 0) {
        const std::string text = "picture " + name + ": " + std::to_string(reduction.roundedAlpha) +
                                 " partly transparent pixel" + (reduction.roundedAlpha == 1 ? "" : "s") +
                                 " (alpha 1..254) taken as transparent below alpha " +
                                 std::to_string(reduce.alphaThreshold) + " and as opaque from it";
        // Said unless -q when the threshold is the default one; under -v when it was asked for.
        (settings.alphaThreshold ? result.notes : result.warnings).push_back(text);
    }
    if (reduction.exact) {
        result.notes.push_back("picture " + name + " fits the palette as it is; every colour is kept");
    } else {
        result.notes.push_back(
            "picture " + name + ": colours reduced to " + std::to_string(reduction.blocksUsed) +
            " palette block" + (reduction.blocksUsed == 1 ? "" : "s") + " of at most " +
            std::to_string(reduce.colours) + " colours, dithering " + std::string(toString(reduce.dither)));
    }
    for (int b = 0; b < reduction.blocksUsed; ++b)
        for (int i = 0; i < data::kColorsPerBlock; ++i)
            result.palette.setWord(b * data::kColorsPerBlock + i, reduction.words[b][i]);
    const std::size_t width = std::size_t(reduced.columns) * data::kCellSize;
    for (int py = 0; py < cells.rows(); ++py) {
        for (int px = 0; px < cells.columns(); ++px) {
            CellIndices indices;
            cells.forEachPixel(px, py, [&](int i, std::size_t at) {
                indices[i] = reduced.indices[at / picture.width * width + at % picture.width];
            });
            cells.put(result, px, py, indices, reduced.blockOfCell[py * reduced.columns + px]);
        }
    }
    result.reduction = std::move(reduction);
}

}  // namespace nrbx::importing
