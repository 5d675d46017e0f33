#include "platform/platform_state.h"

#include "platform/cursor.h"
#include "platform/file.h"
#include "platform/simd.h"

namespace nrbx::platform {

void resetPlatformState() {
    resetCursorState();
    resetFileFaults();
    resetSimdState();
}

}  // namespace nrbx::platform
