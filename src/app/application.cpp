#include "app/application.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <iostream>

#include "app/command_line.h"
#include "app/guarded_application.h"
#include "app/last_resort.h"
#include "app/shown_probe.h"
#include "platform/path.h"
#include "platform/qt/drag_cursor.h"
#include "platform/qt/fonts.h"
#include "platform/qt/help_viewer.h"
#include "platform/qt/qt_texts.h"
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
    // Ties the windows to the menu entry, so the desktop shows the entry's name and icon for them.
    QGuiApplication::setDesktopFileName(QString::fromLatin1(kDesktopFileName));
    // The main window alone decides when the program ends, whatever else is open.
    QGuiApplication::setQuitOnLastWindowClosed(false);
    // Dialogs and boxes in the windows' face and language too.
    QApplication::setFont(platform::designFont(12));
    m_qtTexts = std::make_unique<QTranslator>();
    if (m_qtTexts->load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QCoreApplication::installTranslator(m_qtTexts.get());
    }
    // Installed last, so asked first; it answers only what the file above lacks.
    m_missingQtTexts = std::make_unique<platform::MissingQtTexts>();
    QCoreApplication::installTranslator(m_missingQtTexts.get());
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

void Application::openFilesWhenShown(const std::vector<std::string>& files) {
    if (!m_mainWindow || files.empty()) return;
    ui::Tnrbx_form* form = m_mainWindow.get();
    QMetaObject::invokeMethod(
        form, [form, files] { form->openFiles(files); }, Qt::QueuedConnection);
}

void Application::shutDown() {
    if (!m_mainWindow && !m_qtTexts && !m_missingQtTexts && !m_aboutWindow) return;
    if (m_mainWindow) m_mainWindow->hide();
    if (m_aboutWindow) m_aboutWindow->hide();
    ui::ap_fm = nullptr;
    m_aboutWindow.reset();
    m_mainWindow.reset();
    platform::callHelpViewer(nullptr, ui::shellState().helpFilePath, platform::HelpCommand::Quit, 0);
    platform::removeAppCursorOverride();
    if (m_qtTexts) QCoreApplication::removeTranslator(m_qtTexts.get());
    m_qtTexts.reset();
    if (m_missingQtTexts) QCoreApplication::removeTranslator(m_missingQtTexts.get());
    m_missingQtTexts.reset();
}

int run(int argc, char** argv) {
    const CommandLine line = parseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    switch (line.action) {
        case CommandLine::Action::Help:
            std::cout << usageText(
                ui::helpFilePathFor(platform::ExtractDirectory(platform::executablePath())));
            return 0;
        case CommandLine::Action::Version:
            std::cout << versionText();
            return 0;
        case CommandLine::Action::UsageError:
            std::cerr << "nrbx: " << line.error << " (see nrbx --help)\n";
            return 2;
        case CommandLine::Action::Run:
            break;
    }
    // Qt sees only the program's name: every argument has been read above.
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    GuardedApplication qt(qtArgc, qtArgv);
    Application application;
    try {
        application.start();
        application.show();
        application.openFilesWhenShown(line.files);
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
