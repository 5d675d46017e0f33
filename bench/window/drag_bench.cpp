// Time per pointer move on the picture, as a user feels it: the move enters through the window system's
// queue, reaches pcg_img, updates the selection or the copy preview, composes the view and repaints it.
// NRBX_DRAG_EVENTS sets the number of moves per row (10,000 by default).

#include <QTest>
#include <QWindow>
#include <algorithm>
#include <chrono>
#include <vector>

#include "canvas/copy.h"
#include "canvas/selection.h"
#include "platform/qt/image_control.h"
#include "support/window_fixture.h"
#include "ui/nrbx_main.h"

namespace {

using Clock = std::chrono::steady_clock;

// Counts the repaints of the picture, so a figure that left out the redraw shows itself.
class PaintCounter : public QObject {
  public:
    int paints = 0;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return QObject::eventFilter(watched, event);
    }
};

int eventCount() {
    const int n = qEnvironmentVariableIntValue("NRBX_DRAG_EVENTS");
    return n > 0 ? n : 10000;
}

// A walk over the picture that lands in another cell at almost every step, so each move redraws.
QPoint walkPoint(int step) {
    return QPoint((step * 37 + 5) % 256, (step * 91 + 9) % 256);
}

// p in 0..1 of times already in ascending order.
double percentile(const std::vector<double>& sorted, double p) {
    const auto at = static_cast<std::size_t>(p * static_cast<double>(sorted.size() - 1) + 0.5);
    return sorted[at];
}

}  // namespace

class DragBench : public QObject {
    Q_OBJECT

  private slots:
    void pointerMove_data() {
        QTest::addColumn<bool>("copying");
        QTest::newRow("selection drag") << false;
        QTest::newRow("copy preview, all cells") << true;
    }

    void pointerMove() {
        QFETCH(bool, copying);
        nrbx::test::RunningProgram program;
        auto* form = program.form();
        program.dialogs.choose(nrbx::test::samplePath("demo.pcg"));
        form->nx_pcgload->trigger();
        program.dialogs.choose(nrbx::test::samplePath("demo.pal"));
        form->nx_palload->trigger();
        QCOMPARE(program.boxes.shown.size(), 0);

        QWindow* window = form->windowHandle();
        QVERIFY(window);
        auto* picture = form->pcg_img;
        const auto inWindow = [&](QPoint p) { return window->mapFromGlobal(picture->mapToGlobal(p)); };
        if (copying) {
            form->SelectAll1->trigger();
            form->nx_copy->trigger();
            QVERIFY(nrbx::canvas::copyState().copyMode);
        } else {
            QTest::mousePress(window, Qt::LeftButton, {}, inWindow(QPoint(3, 3)));
            QVERIFY(nrbx::canvas::selectionState().dragging);
        }
        QCoreApplication::processEvents();

        PaintCounter counter;
        picture->installEventFilter(&counter);
        const int n = eventCount();
        std::vector<double> perEvent;
        perEvent.reserve(static_cast<std::size_t>(n));
        for (int i = 0; i < n; ++i) {
            const QPoint at = inWindow(walkPoint(i));
            const auto start = Clock::now();
            QTest::mouseMove(window, at);
            // The repaint the move asked for, as the event loop would run it next.
            QCoreApplication::processEvents();
            perEvent.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        }
        picture->removeEventFilter(&counter);

        // The moves did what a user's would: the last one decided the selection or the preview's place.
        const QPoint last = walkPoint(n - 1);
        if (copying) {
            QCOMPARE(nrbx::canvas::selectionState().selection.x0, last.x() / 16);
            QCOMPARE(nrbx::canvas::selectionState().selection.y0, last.y() / 16);
        } else {
            QCOMPARE(nrbx::canvas::selectionState().selection.x1, last.x() / 16);
            QCOMPARE(nrbx::canvas::selectionState().selection.y1, last.y() / 16);
            QTest::mouseRelease(window, Qt::LeftButton, {}, inWindow(last));
        }
        QVERIFY2(counter.paints >= n * 9 / 10,
                 qPrintable(QString("only %1 repaints for %2 moves").arg(counter.paints).arg(n)));

        double total = 0;
        for (double t : perEvent) total += t;
        std::sort(perEvent.begin(), perEvent.end());
        qInfo(
            "%d moves, %d repaints: median %.4f ms, mean %.4f ms, 90th %.4f ms, 99th %.4f ms, max %.3f ms "
            "per move",
            n, counter.paints, percentile(perEvent, 0.5), total / n, percentile(perEvent, 0.9),
            percentile(perEvent, 0.99), percentile(perEvent, 1.0));
        QTest::setBenchmarkResult(percentile(perEvent, 0.5) * 1e6, QTest::WalltimeNanoseconds);
    }
};

QTEST_MAIN(DragBench)
#include "drag_bench.moc"
