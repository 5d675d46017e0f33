#pragma once
// Start-up and shut-down of the program around its event loop: the title, the windows in their order
// of creation, and their destruction in the reverse order at exit.

#include <memory>
#include <string>
#include <vector>

class QTranslator;

namespace nrbx::platform {
class MissingQtTexts;
}  // namespace nrbx::platform

namespace nrbx::ui {
class Tap_fm;
class Tnrbx_form;
}  // namespace nrbx::ui

namespace nrbx::app {

class Application {
  public:
    Application();
    ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // Title, Qt's own texts in Japanese, help path, the cursor override, then the main window (which runs
    // FormCreate) and the about window. Needs a QApplication.
    void start();
    // The main window in its normal state; the platform has no start-up show state to follow.
    void show();
    // The files named on the command line, loaded in order by the event loop once it runs, so the window
    // is on screen and each load shows its status line and error box as the load commands do.
    void openFilesWhenShown(const std::vector<std::string>& files);
    // Hides and destroys the windows, about window first, and lets the help viewer go. Runs once;
    // it never runs fclose.
    void shutDown();

    ui::Tnrbx_form* mainWindow() const { return m_mainWindow.get(); }

  private:
    std::unique_ptr<QTranslator> m_qtTexts;
    std::unique_ptr<platform::MissingQtTexts> m_missingQtTexts;
    std::unique_ptr<ui::Tnrbx_form> m_mainWindow;
    std::unique_ptr<ui::Tap_fm> m_aboutWindow;
};

// Id of the menu entry (desktop file without ".desktop"), the AppStream component and the icon.
inline constexpr const char* kDesktopFileName = "org.example.nrbx";

// The program: --help and --version answer on standard output and an unknown option is a usage error
// (status 2), all without a window; otherwise it runs until the main window closes, loading the named
// files once the window is shown, and returns 0, or 1 after a last-resort report.
int run(int argc, char** argv);

}  // namespace nrbx::app
