#include "platform/cursor.h"

#include <utility>

namespace nrbx::platform {

namespace {
std::function<void(AppCursor)> g_handler;
AppCursor g_current = AppCursor::Default;
}  // namespace

void setAppCursorHandler(std::function<void(AppCursor)> handler) {
    g_handler = std::move(handler);
}

void setAppCursor(AppCursor cursor) {
    g_current = cursor;
    if (g_handler) g_handler(cursor);
}

AppCursor currentAppCursor() {
    return g_current;
}

void resetCursorState() {
    g_handler = nullptr;
    g_current = AppCursor::Default;
}

}  // namespace nrbx::platform
