#include "canvas/load.h"

#include "canvas/images.h"
#include "data/palette.h"
#include "data/pattern.h"

namespace nrbx::canvas {

namespace {

void patternSteps(const std::function<void()>& read, const LoadStep& converting) {
    read();
    data::DecodePatterns();
    if (converting) converting();
    RenderCells(0, 0, kLastCell, kLastCell);
}

void paletteSteps(const std::function<void()>& read, const LoadStep& converting) {
    read();
    if (converting) converting();
    data::UnpackPaletteWords();
    data::BuildPaletteColors();
    RenderCells(0, 0, kLastCell, kLastCell);
}

}  // namespace

void loadPattern(const std::string& path, const LoadStep& converting) {
    patternSteps([&] { data::ReadPatternFile(path); }, converting);
}

void loadPattern(std::span<const std::uint8_t> bytes, const LoadStep& converting) {
    patternSteps([&] { data::LoadPatternBytes(bytes); }, converting);
}

void loadPalette(const std::string& path, const LoadStep& converting) {
    paletteSteps([&] { data::ReadPaletteFile(path); }, converting);
}

void loadPalette(std::span<const std::uint8_t> bytes, const LoadStep& converting) {
    paletteSteps([&] { data::LoadPaletteBytes(bytes); }, converting);
}

void renderInBlocks(const data::BlockMap& blocks) {
    const int current = imageState().paletteBlock;
    for (int n = 0; n < kCellsPerSide * kCellsPerSide; ++n) {
        const int cx = n % kCellsPerSide, cy = n / kCellsPerSide;
        setPaletteBlock(blocks[std::size_t(n)]);
        RenderCells(cx, cy, cx, cy);
    }
    setPaletteBlock(current);
}

}  // namespace nrbx::canvas
