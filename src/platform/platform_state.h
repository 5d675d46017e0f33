#pragma once
// The reset of every module state of the platform level (POSIX part), for tests.

namespace nrbx::platform {

// No cursor handler and the default cursor, no file faults, vector kernels as the environment says.
void resetPlatformState();

}  // namespace nrbx::platform
