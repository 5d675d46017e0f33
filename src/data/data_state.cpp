#include "data/data_state.h"

#include "data/palette.h"
#include "data/pattern.h"

namespace nrbx::data {

void resetDataState() {
    resetPatternState();
    resetPaletteState();
}

}  // namespace nrbx::data
