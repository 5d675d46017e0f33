#pragma once
// Start-up and shut-down of the program around its event loop: the title, the windows in their order
// of creation, and their destruction in the reverse order at exit.

#include <memory>

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

// The program: reads no arguments (Qt sees only the program's name), runs until the main window
// closes and returns the exit status: 0, or 1 after a last-resort report.
int run(char* programName);

}  // namespace nrbx::app
