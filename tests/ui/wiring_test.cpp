// The Help menu, context help and exit reach the about window and the help viewer.

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QTest>
#include <vector>

#include "app/application.h"
#include "platform/qt/help_viewer.h"
#include "platform/qt/image_control.h"
#include "support/window_fixture.h"
#include "ui/ap.h"
#include "ui/nrbx_main.h"
#include "ui/shell_state.h"

using nrbx::platform::HelpCall;
using nrbx::platform::HelpCommand;

class WiringTest : public QObject {
    Q_OBJECT

  private slots:
    void aboutItemShowsTheOneAboutWindow() {
        nrbx::test::RunningProgram program;
        QVERIFY(nrbx::ui::ap_fm != nullptr);
        QVERIFY(!nrbx::ui::ap_fm->isVisible());
        program.form()->nx_ap->trigger();
        program.form()->nx_ap->trigger();
        QVERIFY(nrbx::ui::ap_fm->isVisible());
        QCOMPARE(program.boxes.shown.size(), 0);
    }

    void helpItemContextHelpAndExitCallTheViewer() {
        std::vector<HelpCall> calls;
        {
            nrbx::test::RunningProgram program;
            // Whether a menu was still open when the viewer was asked: it would stay above the viewer.
            std::vector<bool> menuOpen;
            nrbx::platform::setHelpViewerHandler([&](const HelpCall& c) {
                calls.push_back(c);
                menuOpen.push_back(QApplication::activePopupWidget() != nullptr);
            });
            auto* form = program.form();

            // F1 in an open menu before the help command: the start-up path, context 0.
            QKeyEvent f1(QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier);
            QCoreApplication::sendEvent(form->nx_file, &f1);
            QCOMPARE(calls.size(), size_t(1));
            QCOMPARE(calls[0].command, HelpCommand::Context);
            QCOMPARE(calls[0].helpFile, std::string(nrbx::ui::kStartupHelpPath));
            QCOMPARE(calls[0].data, 0ul);

            form->N2->trigger();
            QCOMPARE(calls.size(), size_t(2));
            QCOMPARE(calls[1].command, HelpCommand::Finder);
            const std::string beside = nrbx::ui::shellState().executableDirectory + "/nrbx.hlp";
            QCOMPARE(calls[1].helpFile, beside);

            QTest::mouseClick(form->pcg_img, Qt::RightButton, {}, QPoint(40, 40));
            QVERIFY(form->Popup1->isVisible());
            QCoreApplication::sendEvent(form->Popup1, &f1);
            QCOMPARE(calls.size(), size_t(3));
            QCOMPARE(calls[2].helpFile, beside);
            QVERIFY(!menuOpen[2]);
            QVERIFY(!form->Popup1->isVisible());
            program.application().shutDown();
            QVERIFY(nrbx::ui::ap_fm == nullptr);
        }
        QVERIFY(calls.size() >= 4);
        QCOMPARE(calls[3].command, HelpCommand::Quit);
        QVERIFY(!calls[3].helpFile.empty());
    }
};

QTEST_MAIN(WiringTest)
#include "wiring_test.moc"
