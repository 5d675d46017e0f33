#include "platform/simd.h"

#include <cstdlib>
#include <cstring>

namespace nrbx::platform {

namespace {

bool enabledByEnvironment() {
    const char* value = std::getenv("NRBX_NO_SIMD");
    return value == nullptr || *value == '\0' || std::strcmp(value, "0") == 0;
}

const bool g_environment = enabledByEnvironment();
bool g_enabled = g_environment;

}  // namespace

bool vectorKernelsEnabled() {
    return g_enabled;
}

void setVectorKernelsEnabled(bool enabled) {
    g_enabled = enabled;
}

void resetSimdState() {
    g_enabled = g_environment;
}

}  // namespace nrbx::platform
