#pragma once
// What the window tests share: a clean program state, the running application, and stand-ins that
// answer the file dialogs and the failure box instead of a person.

#include <QColor>
#include <QList>
#include <QString>
#include <memory>
#include <optional>

#include "platform/qt/file_dialog.h"
#include "ui/failure_report.h"

namespace nrbx::app {
class Application;
}
namespace nrbx::ui {
class Tnrbx_form;
}

namespace nrbx::test {

// Every module of the program back at its start-up value, with no seams installed.
void resetProgramState();

// Answers the file dialogs from a queue; a dialog with nothing queued is cancelled and counted.
class ScriptedFileDialogs {
  public:
    ScriptedFileDialogs();
    ~ScriptedFileDialogs();
    ScriptedFileDialogs(const ScriptedFileDialogs&) = delete;
    ScriptedFileDialogs& operator=(const ScriptedFileDialogs&) = delete;

    void choose(const QString& path, int filterIndex = 1);
    void cancel();

    QList<platform::FileDialogRequest> requests;
    int unexpected = 0;

  private:
    QList<std::optional<platform::FileDialogAnswer>> m_answers;
};

// Records every failure box and dismisses it at once.
class RecordedFailureBoxes {
  public:
    RecordedFailureBoxes();
    ~RecordedFailureBoxes();
    RecordedFailureBoxes(const RecordedFailureBoxes&) = delete;
    RecordedFailureBoxes& operator=(const RecordedFailureBoxes&) = delete;

    QList<ui::FailureBox> shown;
};

// The program as start-up leaves it: state reset, main window created and shown, seams in place.
class RunningProgram {
    // First, so the state is reset before the stand-ins below are put in place.
    std::unique_ptr<app::Application> m_application;

  public:
    RunningProgram();
    ~RunningProgram();

    ui::Tnrbx_form* form() const;
    app::Application& application() { return *m_application; }

    ScriptedFileDialogs dialogs;
    RecordedFailureBoxes boxes;
};

QString samplePath(const char* name);

// The view image as the window shows it, one colour per picture pixel.
QColor viewPixel(int x, int y);
// The colour the current palette block gives the cell grid at a picture pixel.
QColor renderedPixel(int x, int y);

}  // namespace nrbx::test
