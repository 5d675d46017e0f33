#pragma once
// A dialog's own title bar, for Wayland: there Qt frames every window itself and, in Qt 6.4, always
// with minimise and maximise buttons that squeeze the title.

class QWidget;

namespace nrbx::platform {

// Whether a dialog draws its own title bar (on Wayland); elsewhere the window manager frames it.
bool dialogsDrawOwnTitle();

// Makes the window frameless and lays a title bar over its top: the window's title in full, a close
// button, and a press on the bar that lets the compositor move the window. The bar spans the window's
// width as that changes. Returns the bar's height, which the caller keeps free of its own controls.
int addOwnTitleBar(QWidget* window);

}  // namespace nrbx::platform
