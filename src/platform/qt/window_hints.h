#pragma once
// Hints for the window manager that Qt has no setting for: how a secondary window is framed.

class QSize;
class QWidget;

namespace nrbx::platform {

// Frames a top-level window as a dialog: title bar with the system menu and the close button only, no
// minimise, maximise or resizing. It stays owned by whatever Qt made it owned by (the about window by
// nobody). Call it after the native window exists and before it is mapped, at every showing: the native
// window may have been made anew. Does nothing outside X11.
void frameAsDialog(QWidget* window);

// Gives a shown top-level window a new size and asks nothing about its place. Qt's own resize also sends
// the position it believes the window has, which window managers may read as a move. Outside X11 it is
// the plain resize.
void resizeInPlace(QWidget* window, const QSize& size);

// Whether a mouse button is held down anywhere on the screen, as the X server sees it: during a window
// manager's drag of the frame Qt hears nothing of the pointer. False outside X11.
bool pointerButtonHeld();

}  // namespace nrbx::platform
