#pragma once
// Opens a web address in the user's browser, as the about window's link asks.

#include <functional>
#include <string>

namespace nrbx::platform {

// Hands the address (UTF-8) to the desktop's browser. Whether it opens is not looked at: the caller
// shows nothing either way.
void openLink(const std::string& address);

// Test seam: receives the address in place of the desktop; an empty function restores the desktop.
void setLinkOpener(std::function<void(const std::string&)> opener);

void resetLinkOpenerState();

}  // namespace nrbx::platform
