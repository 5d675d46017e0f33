// Colour reduction of a 256 x 256 picture far from fitting: every cell with hundreds of colours.

#include <algorithm>
#include <cmath>

#include "import/picture.h"
#include "import/reduce.h"
#include "yardstick.h"

namespace nrbx::bench {
namespace {

// Hue sweeping across, lightness down, and a fixed hash grain: no two neighbouring pixels alike.
importing::Picture gradientPicture() {
    importing::Picture picture;
    picture.width = picture.height = 256;
    for (int y = 0; y < 256; ++y) {
        for (int x = 0; x < 256; ++x) {
            const unsigned h = (unsigned(x) * 374761393u + unsigned(y) * 668265263u) * 1274126177u;
            const double grain = double(h >> 28) - 7.5;
            const double hue = x / 256.0 * 6.283 + std::sin(y / 23.0);
            const double light = 40 + y * 0.7;
            const auto channel = [&](double phase) {
                return std::uint8_t(std::clamp(light + 80 * std::sin(hue + phase) + grain, 0.0, 255.0));
            };
            picture.rgba.insert(picture.rgba.end(), {channel(0), channel(2.1), channel(4.2), 255});
        }
    }
    return picture;
}

// 0: no dithering; 1: ordered; 2: error diffusion.
void ReduceColours(benchmark::State& state) {
    const importing::Picture picture = gradientPicture();
    importing::ReduceSettings settings;
    settings.dither = importing::Dither(state.range(0));
    timeEach(state,
             [&] { benchmark::DoNotOptimize(importing::reduceColours(std::span(&picture, 1), settings)); });
}
BENCHMARK(ReduceColours)->Arg(0)->Arg(1)->Arg(2)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace nrbx::bench
