#include "app/application.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include "app/guarded_application.h"
#include "app/last_resort.h"
#include "app/shown_probe.h"
#include "platform/qt/drag_cursor.h"
#include "platform/qt/fonts.h"
#include "platform/qt/help_viewer.h"
#include "ui/ap.h"
#include "ui/failure_report.h"
#include "ui/nrbx_main.h"
#include "ui/shell_state.h"

namespace nrbx::app {

Application::Application() = default;

Application::~Application() {
    shutDown();
}

void Application::start() {
    ui::startShell();
    QCoreApplication::setApplicationName(QString::fromStdString(ui::shellState().applicationTitle));
    // The main window alone decides when the program ends, whatever else is open.
    QGuiApplication::setQuitOnLastWindowClosed(false);
    // Dialogs and boxes in the windows' face and language too.
    QApplication::setFont(platform::designFont(12));
    m_qtTexts = std::make_unique<QTranslator>();
    if (m_qtTexts->load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QCoreApplication::installTranslator(m_qtTexts.get());
    }
    platform::installAppCursorOverride();

    m_mainWindow = std::make_unique<ui::Tnrbx_form>();

    QApplication::setWindowIcon(ui::applicationIcon());
    // The about window comes second and stays hidden until asked for.
    m_aboutWindow = std::make_unique<ui::Tap_fm>();
    ui::ap_fm = m_aboutWindow.get();
}

void Application::show() {
    if (m_mainWindow) m_mainWindow->show();
}

void Application::shutDown() {
    if (!m_mainWindow && !m_qtTexts && !m_aboutWindow) return;
    if (m_mainWindow) m_mainWindow->hide();
    if (m_aboutWindow) m_aboutWindow->hide();
    ui::ap_fm = nullptr;
    m_aboutWindow.reset();
    m_mainWindow.reset();
    platform::callHelpViewer(nullptr, ui::shellState().helpFilePath, platform::HelpCommand::Quit, 0);
    platform::removeAppCursorOverride();
    if (m_qtTexts) QCoreApplication::removeTranslator(m_qtTexts.get());
    m_qtTexts.reset();
}

int run(char* programName) {
    int argc = 1;
    char* argv[] = {programName, nullptr};
    GuardedApplication qt(argc, argv);
    Application application;
    try {
        application.start();
        application.show();
        if (exitWhenShownRequested()) exitWhenShown(application.mainWindow());
        qt.exec();
        qt.rethrowEscaped();
    } catch (...) {
        const int status = reportLastResort(ui::currentFailure());
        application.shutDown();
        return status;
    }
    application.shutDown();
    return 0;
}

}  // namespace nrbx::app
