#include "demo_state.h"

#include "canvas/load.h"
#include "canvas/start_up.h"
#include "canvas/view.h"
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

    canvas::loadPalette(demoPalettePath());
    canvas::loadPattern(demoPatternPath());
    canvas::RedrawView();
}

}  // namespace nrbx::bench
