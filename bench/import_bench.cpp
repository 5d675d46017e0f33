// Import of the whole demo picture: PNG decoding, and the conversion back to pattern, palette and blocks.

#include <vector>

#include "data/palette.h"
#include "data/palette_formats.h"
#include "data/pattern.h"
#include "demo_state.h"
#include "export/export_image.h"
#include "export/png/png_writer.h"
#include "import/conversion.h"
#include "import/picture.h"
#include "yardstick.h"

namespace nrbx::bench {
namespace {

// The demo picture as nrbx-export writes it: 24-bit, or sprite-indexed at 8 bits (block 0 everywhere).
exporting::ExportImage demoPicture(bool indexed) {
    loadDemo();
    if (!indexed) return exporting::wholePictureExport();
    exporting::ExportImage image;
    image.width = image.height = 256;
    image.bpp = 8;
    image.colorTable.assign(data::paletteState().table.begin(), data::paletteState().table.end());
    const auto& grid = data::patternState().grid;
    for (int y = 0; y < 256; ++y) image.pixels.insert(image.pixels.end(), grid.row(y), grid.row(y) + 256);
    return image;
}

void DecodePng(benchmark::State& state) {
    const std::vector<std::uint8_t> png = exporting::encodePng(demoPicture(state.range(0) == 8));
    timeEach(state, [&] { benchmark::DoNotOptimize(importing::decodePng(png, "demo.png")); });
}
BENCHMARK(DecodePng)->Arg(24)->Arg(8)->UseManualTime();

// 0: colours, palette built; 1: colours matched to the demo palette; 2: --indexed sprite.
void ImportPicture(benchmark::State& state) {
    const int mode = int(state.range(0));
    const importing::Picture picture =
        importing::decodePng(exporting::encodePng(demoPicture(mode == 2)), "demo.png");
    importing::ImportSettings settings;
    if (mode == 1) settings.palette = data::readPaletteFile(demoPalettePath());
    settings.spriteIndexed = mode == 2;
    const importing::PatternBytes base{};
    timeEach(state, [&] {
        benchmark::DoNotOptimize(importing::importPicture(picture, settings, base, "demo.png"));
    });
}
BENCHMARK(ImportPicture)->Arg(0)->Arg(1)->Arg(2)->UseManualTime();

}  // namespace
}  // namespace nrbx::bench
