// The dialogs' frame on Wayland (run under a compositor with QT_QPA_PLATFORM=wayland): no frame of Qt's
// own, which would offer minimise and maximise, but a title bar of the window's own with the whole title
// and a close button only.

#include "ui/ap.h"
#include "ui/failure_report.h"
#include "ui/shell_state.h"

#include <QApplication>
#include <QFrame>
#include <QGuiApplication>
#include <QMessageBox>
#include <QTimer>
#include <QToolButton>
#include <QWindow>
#include <QtTest>

namespace {

// Checks one shown dialog; returns an empty string or what is wrong.
QString frameProblem(QWidget* window) {
    if (!window->windowHandle()) return QStringLiteral("no native window");
    if (window->windowHandle()->frameMargins() != QMargins())
        return QStringLiteral("Qt draws a frame of its own around '%1'").arg(window->windowTitle());
    auto* bar = window->findChild<QWidget*>(QStringLiteral("nrbx_title_bar"));
    if (!bar || !bar->isVisible()) return QStringLiteral("no title bar");
    const QList<QToolButton*> buttons = bar->findChildren<QToolButton*>();
    if (buttons.size() != 1 || buttons.front()->objectName() != QLatin1String("nrbx_title_close"))
        return QStringLiteral("the title bar has %1 buttons, not the close button alone").arg(buttons.size());
    QFont bold = bar->font();
    bold.setBold(true);
    const int room = bar->width() - buttons.front()->width() - 16;
    if (QFontMetrics(bold).horizontalAdvance(window->windowTitle()) > room)
        return QStringLiteral("the title '%1' does not fit in %2 pixels")
            .arg(window->windowTitle())
            .arg(room);
    return {};
}

int holdMs() {
    return qEnvironmentVariableIntValue("NRBX_WAYLAND_HOLD_MS");
}

}  // namespace

class WaylandFrameTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() { QCOMPARE(QGuiApplication::platformName(), QStringLiteral("wayland")); }

    void aboutWindowHasItsOwnTitleBar() {
        nrbx::ui::setVersionValue(0.2);
        nrbx::ui::Tap_fm about;
        about.act();
        about.showInFront();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        QCOMPARE(frameProblem(&about), QString());
        // The designed client area lies whole below the bar.
        const int bar = about.findChild<QWidget*>(QStringLiteral("nrbx_title_bar"))->height();
        QCOMPARE(about.size(), QSize(256, 197 + bar));
        QCOMPARE(about.Bevel1->geometry(), QRect(8, 16 + bar, 65, 57));
        if (holdMs() > 0) QTest::qWait(holdMs());
    }

    void failureBoxHasItsOwnTitleBar() {
        QString problem = QStringLiteral("no box appeared");
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) return;
            problem = QTest::qWaitForWindowExposed(box) ? frameProblem(box) : QStringLiteral("box not shown");
            if (holdMs() > 0) QTest::qWait(holdMs());
            box->accept();
        });
        nrbx::ui::FailureBox request;
        request.caption = QStringLiteral("ノルバクス");
        request.text = QStringLiteral("ファイルを開けません。");
        request.icon = QMessageBox::Critical;
        nrbx::ui::showFailureBox(request);
        QCOMPARE(problem, QString());
    }
};

QTEST_MAIN(WaylandFrameTest)
#include "wayland_frame_test.moc"
