#pragma once
// Whether the vector kernels run, or their plain C++ fallbacks do.

namespace nrbx::platform {

// True unless the environment variable NRBX_NO_SIMD is set to a non-empty value other than "0", read at
// start-up. The fallbacks give the same bytes as the vector kernels; forcing them lets tests run the
// paths a machine with vector units would otherwise never take.
bool vectorKernelsEnabled();
// Test seam: overrides the environment's choice until the next reset.
void setVectorKernelsEnabled(bool enabled);
void resetSimdState();

}  // namespace nrbx::platform
