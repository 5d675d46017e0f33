#pragma once
// The application-wide cursor override, as the core asks for it; the window supplies the real cursor.

#include <functional>

namespace nrbx::platform {

enum class AppCursor { Default, Drag };

// The window installs a handler that shows the cursor; without one the request is only remembered.
void setAppCursorHandler(std::function<void(AppCursor)> handler);
void setAppCursor(AppCursor cursor);
AppCursor currentAppCursor();
void resetCursorState();

}  // namespace nrbx::platform
