#include "support/window_fixture.h"

#include <QApplication>
#include <QTest>

#include "app/application.h"
#include "canvas/canvas_state.h"
#include "canvas/images.h"
#include "data/data_state.h"
#include "data/palette.h"
#include "data/pattern.h"
#include "platform/platform_state.h"
#include "platform/qt/qt_platform_state.h"
#include "ui/nrbx_main.h"
#include "ui/ui_state.h"

namespace nrbx::test {

void resetProgramState() {
    data::resetDataState();
    canvas::resetCanvasState();
    platform::resetQtPlatformState();
    platform::resetPlatformState();
    ui::resetUiState();
}

ScriptedFileDialogs::ScriptedFileDialogs() {
    platform::setFileDialogRunner([this](QWidget*, const platform::FileDialogRequest& request) {
        requests << request;
        if (m_answers.isEmpty()) {
            ++unexpected;
            return std::optional<platform::FileDialogAnswer>();
        }
        return m_answers.takeFirst();
    });
}

ScriptedFileDialogs::~ScriptedFileDialogs() {
    platform::setFileDialogRunner(nullptr);
}

void ScriptedFileDialogs::choose(const QString& path, int filterIndex) {
    m_answers << platform::FileDialogAnswer{path, filterIndex};
}

void ScriptedFileDialogs::cancel() {
    m_answers << std::nullopt;
}

RecordedFailureBoxes::RecordedFailureBoxes() {
    ui::setFailureBoxPresenter([this](const ui::FailureBox& box) { shown << box; });
}

RecordedFailureBoxes::~RecordedFailureBoxes() {
    ui::setFailureBoxPresenter(nullptr);
}

namespace {

int resetFirst() {
    resetProgramState();
    return 0;
}

}  // namespace

RunningProgram::RunningProgram() : m_application((resetFirst(), std::make_unique<app::Application>())) {
    m_application->start();
    m_application->show();
    QVERIFY(QTest::qWaitForWindowExposed(form()));
}

RunningProgram::~RunningProgram() {
    m_application->shutDown();
    resetProgramState();
}

ui::Tnrbx_form* RunningProgram::form() const {
    return m_application->mainWindow();
}

QString samplePath(const char* name) {
    return QStringLiteral(NRBX_SAMPLES_DIR "/") + QLatin1String(name);
}

QColor viewPixel(int x, int y) {
    const std::uint8_t* p = canvas::imageState().view.pixel(x, y);
    return QColor(p[2], p[1], p[0]);
}

QColor renderedPixel(int x, int y) {
    const int index = data::patternState().grid(x, y);
    const data::Rgb c = data::paletteState().table[canvas::imageState().paletteBlock * 16 + index];
    return QColor(c.red, c.green, c.blue);
}

}  // namespace nrbx::test
