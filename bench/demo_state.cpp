#include "demo_state.h"

#include "canvas/images.h"
#include "canvas/start_up.h"
#include "canvas/view.h"
#include "data/palette.h"
#include "data/pattern.h"
#include "platform/platform_state.h"

namespace nrbx::bench {

std::string demoPatternPath() {
    return NRBX_SAMPLES_DIR "/demo.pcg";
}
std::string demoPalettePath() {
    return NRBX_SAMPLES_DIR "/demo.pal";
}

void loadDemo() {
    platform::resetPlatformState();
    canvas::resetPictureToStartUp();

    data::ReadPaletteFile(demoPalettePath());
    data::UnpackPaletteWords();
    data::BuildPaletteColors();
    data::ReadPatternFile(demoPatternPath());
    data::DecodePatterns();
    canvas::RenderCells(0, 0, 15, 15);
    canvas::RedrawView();
}

}  // namespace nrbx::bench
