// The failure report every handler ends in: the box's caption, text, icon and button, the full stop
// rule, the mouse grab, and that nothing ever leaves a handler.

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <stdexcept>

#include "canvas/selection.h"
#include "platform/failure.h"
#include "platform/qt/image_control.h"
#include "support/window_fixture.h"
#include "ui/failure_report.h"
#include "ui/nrbx_main.h"

using nrbx::platform::Failure;
using nrbx::platform::FailureKind;
namespace ui = nrbx::ui;

class FailureReportTest : public QObject {
    Q_OBJECT

    std::unique_ptr<nrbx::test::RunningProgram> program;
    QList<ui::FailureBox>& shown() { return program->boxes.shown; }

    QString reportedText(const std::function<void()>& handler) {
        const auto before = shown().size();
        ui::runGuarded(handler);
        if (shown().size() != before + 1) return QStringLiteral("<no box>");
        return shown().last().text;
    }

  private slots:
    void init() { program = std::make_unique<nrbx::test::RunningProgram>(); }
    void cleanup() { program.reset(); }

    void failureIsShownUnderTheTitleWithTheErrorIcon() {
        ui::runGuarded([] { throw nrbx::platform::fileOpenFailure("/tmp/パターン.pcg"); });
        QCOMPARE(shown().size(), 1);
        QCOMPARE(shown().at(0).caption, QStringLiteral("ノルバクス"));
        QCOMPARE(shown().at(0).text, QStringLiteral("ファイル /tmp/パターン.pcg は開けません."));
        QCOMPARE(shown().at(0).icon, QMessageBox::Critical);
        QCOMPARE(shown().at(0).modality, Qt::ApplicationModal);
        QCOMPARE(shown().at(0).owner, program->form());
    }

    void fullStopIsAddedOnlyAfterCharactersAboveIt() {
        QCOMPARE(reportedText([] { throw Failure(FailureKind::Other, "終わり。"); }),
                 QStringLiteral("終わり。."));
        QCOMPARE(reportedText([] { throw Failure(FailureKind::Other, "done."); }), QStringLiteral("done."));
        QCOMPARE(reportedText([] { throw Failure(FailureKind::Other, "(x)"); }), QStringLiteral("(x)"));
        QCOMPARE(reportedText([] { throw Failure(FailureKind::Other, "abc"); }), QStringLiteral("abc."));
        QCOMPARE(reportedText([] { throw Failure(FailureKind::Other, "9"); }), QStringLiteral("9."));
        QCOMPARE(reportedText([] { throw Failure(FailureKind::Other, ""); }), QString());
        QCOMPARE(reportedText([] { throw nrbx::platform::streamReadFailure(); }),
                 QStringLiteral("ストリームからの読み込みエラー."));
    }

    void otherExceptionsAreReportedWithTheirOwnText() {
        QCOMPARE(reportedText([] { throw std::runtime_error("disk on fire"); }),
                 QStringLiteral("disk on fire."));
        QCOMPARE(reportedText([] { throw std::bad_alloc(); }), QStringLiteral("メモリが足りません."));
        QCOMPARE(reportedText([] { throw 42; }), QStringLiteral("不明なエラーが発生しました."));
    }

    void handlerStopsAtTheFailingStepAndTheProgramGoesOn() {
        int steps = 0;
        ui::runGuarded([&] {
            ++steps;
            throw nrbx::platform::streamWriteFailure();
        });
        QCOMPARE(steps, 1);
        ui::runGuarded([&] { ++steps; });
        QCOMPARE(steps, 2);
        QCOMPARE(shown().size(), 1);
    }

    void aFailingPresenterDoesNotEscape() {
        ui::setFailureBoxPresenter([](const ui::FailureBox&) { throw std::bad_alloc(); });
        ui::runGuarded([] { throw std::runtime_error("x"); });
        QVERIFY(true);  // reached: nothing propagated
    }

    void failureDuringADragCancelsTheGrabAndEndsTheDrag() {
        auto* picture = program->form()->pcg_img;
        QTest::mousePress(picture, Qt::LeftButton, {}, QPoint(20, 20));
        QVERIFY(nrbx::canvas::selectionState().dragging);
        picture->grabMouse();
        QCOMPARE(QWidget::mouseGrabber(), picture);
        QWidget* grabberWhileShown = picture;
        ui::setFailureBoxPresenter(
            [&](const ui::FailureBox&) { grabberWhileShown = QWidget::mouseGrabber(); });
        ui::runGuarded([] { throw Failure(FailureKind::Other, "x"); });
        QVERIFY(grabberWhileShown == nullptr);
        QVERIFY(!nrbx::canvas::selectionState().dragging);
        // A move with the button still held changes the selection no more.
        QTest::mouseMove(picture, QPoint(100, 100));
        QCOMPARE(nrbx::canvas::selectionState().selection, (nrbx::canvas::CellRect{1, 1, 1, 1}));
        QTest::mouseRelease(picture, Qt::LeftButton, {}, QPoint(100, 100));
    }

    void realBoxHasOneOkButtonAndBlocksTheWholeApplication() {
        QVERIFY(clickReachesThePicture());
        ui::setFailureBoxPresenter(nullptr);
        QString caption, text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        Qt::WindowModality modality = Qt::NonModal;
        int buttons = 0;
        bool mainWindowBlocked = false;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) return;
            caption = box->windowTitle();
            text = box->text();
            icon = box->icon();
            modality = box->windowModality();
            buttons = static_cast<int>(box->buttons().size());
            mainWindowBlocked = !clickReachesThePicture();
            box->button(QMessageBox::Ok)->click();
        });
        ui::runGuarded([] { throw nrbx::platform::fileCreateFailure("/x/y.bmp"); });
        QCOMPARE(caption, QStringLiteral("ノルバクス"));
        QCOMPARE(text, QStringLiteral("ファイル /x/y.bmp を作成できません."));
        QCOMPARE(icon, QMessageBox::Critical);
        QCOMPARE(modality, Qt::ApplicationModal);
        QCOMPARE(buttons, 1);
        QVERIFY(mainWindowBlocked);
        QVERIFY(clickReachesThePicture());
    }

  private:
    // A click on cell (5, 5) through the window system, where a modal box refuses it.
    bool clickReachesThePicture() {
        auto* form = program->form();
        const QPoint at = form->pcg_img->mapTo(form, QPoint(5 * 16 + 4, 5 * 16 + 4));
        nrbx::canvas::setSelection({});
        QTest::mouseClick(form->windowHandle(), Qt::LeftButton, {}, at);
        QCoreApplication::processEvents();
        return nrbx::canvas::selectionState().selection == nrbx::canvas::CellRect{5, 5, 5, 5};
    }
};

QTEST_MAIN(FailureReportTest)
#include "failure_report_test.moc"
