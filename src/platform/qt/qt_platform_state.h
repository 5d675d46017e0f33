#pragma once
// The reset of every module state of the platform level's Qt part, for tests.

namespace nrbx::platform {

// No cursor override, file dialogs, help viewer, link opener or decimal separator source installed.
void resetQtPlatformState();

}  // namespace nrbx::platform
