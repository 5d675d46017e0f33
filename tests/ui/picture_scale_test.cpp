// The picture at any scale factor: exactly 256 x 256 picture pixels, each a crisp square of device
// pixels, and pointer positions that map to the cell under them. CTest runs it at scale 1 and 2.

#include <QMouseEvent>
#include <QTest>

#include "canvas/images.h"
#include "canvas/picture_mouse.h"
#include "canvas/selection.h"
#include "platform/qt/image_control.h"
#include "support/window_fixture.h"
#include "ui/nrbx_main.h"

namespace canvas = nrbx::canvas;

class PictureScaleTest : public QObject {
    Q_OBJECT

    std::unique_ptr<nrbx::test::RunningProgram> program;
    nrbx::platform::ImageControl* picture() const { return program->form()->pcg_img; }

    int expectedScale() const { return qEnvironmentVariableIntValue("NRBX_EXPECTED_SCALE") > 1 ? 2 : 1; }

    void send(QEvent::Type type, Qt::MouseButton button, QPointF at) {
        const Qt::MouseButtons held =
            type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
        QMouseEvent event(type, at, picture()->mapToGlobal(at), button, held, Qt::NoModifier);
        QCoreApplication::sendEvent(picture(), &event);
    }

  private slots:
    void init() { program = std::make_unique<nrbx::test::RunningProgram>(); }
    void cleanup() { program.reset(); }

    void screenHasTheExpectedScale() { QCOMPARE(picture()->devicePixelRatio(), qreal(expectedScale())); }

    void everyPicturePixelIsACrispBlock() {
        program->dialogs.choose(nrbx::test::samplePath("demo.pcg"));
        program->form()->nx_pcgload->trigger();
        program->dialogs.choose(nrbx::test::samplePath("demo.pal"));
        program->form()->nx_palload->trigger();
        QCOMPARE(picture()->size(), QSize(256, 256));

        const int scale = expectedScale();
        const QImage shown = picture()->grab().toImage();
        QCOMPARE(shown.size(), QSize(256 * scale, 256 * scale));
        for (int y = 0; y < 256; ++y) {
            for (int x = 0; x < 256; ++x) {
                const QRgb wanted = nrbx::test::viewPixel(x, y).rgb();
                for (int dy = 0; dy < scale; ++dy) {
                    for (int dx = 0; dx < scale; ++dx) {
                        if (shown.pixel(x * scale + dx, y * scale + dy) != wanted) {
                            QFAIL(qPrintable(QStringLiteral("device pixel %1,%2 of picture pixel %3,%4")
                                                 .arg(x * scale + dx)
                                                 .arg(y * scale + dy)
                                                 .arg(x)
                                                 .arg(y)));
                        }
                    }
                }
            }
        }
    }

    void pointerPositionsMapToTheCellUnderThem() {
        // The last device pixel of picture pixel 15 still lies in cell 0; picture pixel 16 is cell 1.
        send(QEvent::MouseButtonPress, Qt::LeftButton, QPointF(15.5, 15.75));
        send(QEvent::MouseButtonRelease, Qt::LeftButton, QPointF(15.5, 15.75));
        QCOMPARE(canvas::selectionState().selection, (canvas::CellRect{0, 0, 0, 0}));
        send(QEvent::MouseButtonPress, Qt::LeftButton, QPointF(16.0, 255.5));
        send(QEvent::MouseButtonRelease, Qt::LeftButton, QPointF(16.0, 255.5));
        QCOMPARE(canvas::selectionState().selection, (canvas::CellRect{1, 15, 1, 15}));
        // A drag with QTest's whole positions, to the far corner.
        QTest::mousePress(picture(), Qt::LeftButton, {}, QPoint(40, 40));
        QTest::mouseMove(picture(), QPoint(255, 255));
        QTest::mouseRelease(picture(), Qt::LeftButton, {}, QPoint(255, 255));
        QCOMPARE(canvas::selectionState().selection, (canvas::CellRect{2, 2, 15, 15}));
        // Left of the picture while dragging: -0.5 is picture pixel -1, which still truncates to cell 0.
        send(QEvent::MouseButtonPress, Qt::LeftButton, QPointF(100, 100));
        send(QEvent::MouseMove, Qt::LeftButton, QPointF(-0.5, 100));
        send(QEvent::MouseButtonRelease, Qt::LeftButton, QPointF(-0.5, 100));
        QCOMPARE(canvas::selectionState().selection, (canvas::CellRect{6, 6, 0, 6}));
    }
};

QTEST_MAIN(PictureScaleTest)
#include "picture_scale_test.moc"
