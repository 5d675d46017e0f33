#pragma once
// For measuring start-up: with NRBX_EXIT_WHEN_SHOWN set, the program writes the moment its main window
// was first shown to standard error and then ends as if the window had been closed.

class QWidget;

namespace nrbx::app {

// True when the environment asks for the probe.
bool exitWhenShownRequested();
// Watches the window, which must already have been shown; the line reads "nrbx: shown at <ns>", the
// steady clock's nanoseconds (CLOCK_MONOTONIC, the clock a measuring script reads too).
void exitWhenShown(QWidget* window);

}  // namespace nrbx::app
