// Start-up, shut-down and the last resort, on the program's own application object.

#include <QFile>
#include <QTest>
#include <QTimer>
#include <stdexcept>

#include "app/application.h"
#include "app/guarded_application.h"
#include "app/last_resort.h"
#include "canvas/images.h"
#include "canvas/selection.h"
#include "data/palette.h"
#include "platform/failure.h"
#include "support/window_fixture.h"
#include "ui/nrbx_main.h"
#include "ui/shell_state.h"

using nrbx::platform::Failure;
using nrbx::platform::FailureKind;
namespace ui = nrbx::ui;

namespace {

// An object whose event handler throws past every guard, as a bug outside the handlers would.
class Throwing : public QObject {
  public:
    bool event(QEvent* event) override {
        if (event->type() == QEvent::User) throw nrbx::platform::fileOpenFailure("a.pcg");
        return QObject::event(event);
    }
};

}  // namespace

class AppTest : public QObject {
    Q_OBJECT

  private slots:
    void init() { nrbx::test::resetProgramState(); }
    void cleanup() { nrbx::test::resetProgramState(); }

    void startUpCreatesTheMainWindowWithItsStartState() {
        // State a previous run left behind, which FormCreate must put back.
        nrbx::canvas::setPaletteBlock(7);
        nrbx::canvas::startDrag();
        ui::setPatternLoaded(true);
        ui::setApplicationTitle("");
        {
            nrbx::app::Application application;
            QVERIFY(ui::nrbx_form == nullptr);
            application.start();
            QVERIFY(application.mainWindow() != nullptr);
            QCOMPARE(ui::nrbx_form, application.mainWindow());
            QVERIFY(!application.mainWindow()->isVisible());
            QCOMPARE(QString::fromStdString(ui::shellState().applicationTitle), QStringLiteral("ノルバクス"));
            QCOMPARE(QCoreApplication::applicationName(), QStringLiteral("ノルバクス"));
            // The windows name the menu entry that the install puts on the desktop.
            QVERIFY(QFile::exists(QStringLiteral(NRBX_TEST_SOURCE_DIR "/../dist/") +
                                  QGuiApplication::desktopFileName() + QStringLiteral(".desktop")));
            QCOMPARE(ui::shellState().helpFilePath, std::string(ui::kStartupHelpPath));
            QCOMPARE(ui::shellState().versionValue, 0.2);
            QVERIFY(!ui::shellState().patternLoaded);
            QCOMPARE(nrbx::canvas::imageState().paletteBlock, 0);
            QVERIFY(!nrbx::canvas::selectionState().dragging);
            QVERIFY(nrbx::data::paletteState().table != nrbx::data::PaletteTable{});  // the default palette
            application.show();
            QVERIFY(QTest::qWaitForWindowExposed(application.mainWindow()));
        }
        // Shut-down destroyed the window and cleared the reference.
        QVERIFY(ui::nrbx_form == nullptr);
    }

    void shutDownRunsOnceAndNeverCallsFclose() {
        nrbx::app::Application application;
        application.start();
        application.show();
        QPointer<ui::Tnrbx_form> form = application.mainWindow();
        application.shutDown();
        QVERIFY(form.isNull());
        application.shutDown();
        QVERIFY(application.mainWindow() == nullptr);
    }

    void closingTheMainWindowEndsTheEventLoopWithStatusZero() {
        nrbx::test::RecordedFailureBoxes boxes;
        nrbx::app::Application application;
        application.start();
        application.show();
        QTimer::singleShot(0, application.mainWindow(), [&] { application.mainWindow()->Exit1->trigger(); });
        QTimer::singleShot(5000, [] { QCoreApplication::exit(99); });
        QCOMPARE(QCoreApplication::exec(), 0);
        QVERIFY(boxes.shown.isEmpty());
    }

    void lastResortTextNamesKindModuleAndMessage() {
        const Failure open = nrbx::platform::fileOpenFailure("/a/b.pcg");
        QCOMPARE(nrbx::app::lastResortText(open, "/usr/local/bin/nrbx"),
                 QStringLiteral("FileOpenFailureがモジュール nrbx の 00000000 で発生しました。\nファイル "
                                "/a/b.pcg は開けません."));
        // A plain byte test here: a message ending in "." or in ")" gets nothing, a full-width stop gets
        // its ".".
        QVERIFY(nrbx::app::lastResortText(Failure(FailureKind::Other, "end."), "nrbx").endsWith("\nend."));
        QVERIFY(nrbx::app::lastResortText(Failure(FailureKind::Other, "(x)"), "nrbx").endsWith("\n(x)."));
        QVERIFY(nrbx::app::lastResortText(Failure(FailureKind::Other, "終わり。"), "nrbx")
                    .endsWith("\n終わり。."));
        QVERIFY(nrbx::app::lastResortText(Failure(FailureKind::Other, ""), "nrbx").endsWith("。\n"));
    }

    void lastResortShowsItsBoxWithoutOwnerAndGivesStatusOne() {
        nrbx::test::RecordedFailureBoxes boxes;
        QCOMPARE(nrbx::app::reportLastResort(Failure(FailureKind::StreamRead, "x")), 1);
        QCOMPARE(boxes.shown.size(), 1);
        QCOMPARE(boxes.shown.at(0).caption, QStringLiteral("アプリケーション エラー"));
        QCOMPARE(boxes.shown.at(0).icon, QMessageBox::Critical);
        QVERIFY(boxes.shown.at(0).owner == nullptr);
        QVERIFY(boxes.shown.at(0).text.contains(QStringLiteral("StreamReadFailureがモジュール ")));
    }

    void anExceptionThatEscapesAHandlerEndsTheLoopAndComesBack() {
        auto* app = qobject_cast<nrbx::app::GuardedApplication*>(QCoreApplication::instance());
        QVERIFY(app);
        Throwing throwing;
        QCoreApplication::postEvent(&throwing, new QEvent(QEvent::User));
        QTimer::singleShot(5000, [] { QCoreApplication::exit(99); });
        QCOMPARE(QCoreApplication::exec(), 1);
        try {
            app->rethrowEscaped();
            QFAIL("nothing came back");
        } catch (const Failure& failure) {
            QVERIFY(failure.kind() == FailureKind::FileOpen);
        }
        app->rethrowEscaped();  // only once
    }
};

// The program's own application object, not the plain one QTEST_MAIN would make.
int main(int argc, char** argv) {
    nrbx::app::GuardedApplication app(argc, argv);
    AppTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "app_test.moc"
