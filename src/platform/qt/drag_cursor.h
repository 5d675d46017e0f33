#pragma once
// The drag cursor and the application-wide cursor override that shows it while copy mode is on.

#include <QCursor>

namespace nrbx::platform {

// 32 x 32, black and white: an arrow with a small box below and to the right, hot spot at the tip.
QCursor dragCursor();

// Lets the core's cursor requests reach the application: Drag overrides every widget's cursor, Default
// gives each its own back. Only one override of ours is ever in place.
void installAppCursorOverride();
// Takes the handler away again and lifts our override if it is in place.
void removeAppCursorOverride();

}  // namespace nrbx::platform
