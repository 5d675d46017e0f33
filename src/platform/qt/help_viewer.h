#pragma once
// Our stand-in for the system help viewer: a window of its own that shows the program's help file.

#include <functional>
#include <string>

class QWidget;

namespace nrbx::platform {

enum class HelpCommand { Context = 1, Quit = 2, Finder = 11 };

// Asks the help viewer to act on helpFile (a path in the system's file-name encoding):
// - Finder: show the file with its contents list, at the top;
// - Context: show the file at topic number data, counting the contents from 0 (0 is the first topic;
//   a number without a topic shows the first);
// - Quit: the program no longer needs the viewer; it closes if it is open, and nothing happens otherwise.
// A missing or unreadable file is reported by the viewer in its own window. Nothing is returned or thrown:
// the caller goes on whatever the viewer makes of the request. owner only places a newly opened viewer.
void callHelpViewer(QWidget* owner, const std::string& helpFile, HelpCommand command, unsigned long data);

struct HelpCall {
    QWidget* owner = nullptr;
    std::string helpFile;
    HelpCommand command = HelpCommand::Finder;
    unsigned long data = 0;
};

// Test seam: receives every call in place of the viewer; an empty function restores the viewer.
void setHelpViewerHandler(std::function<void(const HelpCall&)> handler);

// The viewer's window while it is open, else nullptr.
QWidget* helpViewerWindow();

// Closes the viewer if it is open and removes the seam.
void resetHelpViewerState();

}  // namespace nrbx::platform
