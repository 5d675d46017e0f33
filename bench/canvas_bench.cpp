// Decoding, rendering, view redraw, placement of copied cells, and the whole pattern-load command.

#include "canvas/copy.h"
#include "canvas/images.h"
#include "canvas/load.h"
#include "canvas/picture_mouse.h"
#include "canvas/selection.h"
#include "canvas/view.h"
#include "data/pattern.h"
#include "demo_state.h"
#include "yardstick.h"

namespace nrbx::bench {
namespace {

void DecodePatterns(benchmark::State& state) {
    loadDemo();
    timeEach(state, [] { data::DecodePatterns(); });
}
BENCHMARK(DecodePatterns)->UseManualTime();

void RenderCells(benchmark::State& state) {
    loadDemo();
    const int x0 = int(state.range(0)), y0 = int(state.range(1));
    const int x1 = int(state.range(2)), y1 = int(state.range(3));
    timeEach(state, [=] { canvas::RenderCells(x0, y0, x1, y1); });
}
BENCHMARK(RenderCells)->Args({0, 0, 15, 15})->UseManualTime();

void RedrawView(benchmark::State& state, bool copyMode) {
    loadDemo();
    canvas::SelectAll();
    if (copyMode) {
        // Copy of all cells with the pointer over cell (0, 0): the preview covers the whole picture.
        canvas::startCopy();
        canvas::movePreview(0, 0);
    }
    timeEach(state, [] { canvas::RedrawView(); });
}
BENCHMARK_CAPTURE(RedrawView, SelectAll, false)->UseManualTime();
BENCHMARK_CAPTURE(RedrawView, FullPreview, true)->UseManualTime();

void PasteCells(benchmark::State& state) {
    loadDemo();
    const int x0 = int(state.range(0)), y0 = int(state.range(1));
    const int x1 = int(state.range(2)), y1 = int(state.range(3));
    const int sx = int(state.range(4)), sy = int(state.range(5));
    timeEach(state, [=] { canvas::PasteCells(x0, y0, x1, y1, sx, sy); });
}
// All cells placed onto themselves, so the grid stays the same from one iteration to the next.
BENCHMARK(PasteCells)->Args({0, 0, 15, 15, 0, 0})->UseManualTime();

// The load command: read the file, decode, render all cells, redraw.
void PatternLoad(benchmark::State& state) {
    loadDemo();
    const std::string path = demoPatternPath();
    timeEach(state, [&path] {
        canvas::loadPattern(path);
        canvas::RedrawView();
    });
}
BENCHMARK(PatternLoad)->UseManualTime();

}  // namespace
}  // namespace nrbx::bench
