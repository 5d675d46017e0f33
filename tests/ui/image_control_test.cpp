// The image control shows every pixel of its image exactly, whatever the width, and the background
// only where the image does not reach.

#include <QImage>
#include <QRandomGenerator>
#include <QTest>
#include <vector>

#include "platform/qt/image_control.h"
#include "platform/simd.h"

using nrbx::platform::ImageControl;

namespace {

// A blue-green-red image over bytes we own, filled with random colours.
struct BgrPicture {
    std::vector<uchar> bytes;
    QImage image;

    BgrPicture(int width, int height, quint32 seed) {
        const int stride = width * 3;
        bytes.resize(static_cast<std::size_t>(stride * height));
        QRandomGenerator random(seed);
        for (uchar& b : bytes) b = static_cast<uchar>(random.bounded(256));
        image = QImage(bytes.data(), width, height, stride, QImage::Format_BGR888);
    }

    QRgb at(int x, int y) const {
        const uchar* p = bytes.data() + y * image.bytesPerLine() + 3 * x;
        return qRgb(p[2], p[1], p[0]);
    }
};

QString firstDifference(const QImage& shown, const BgrPicture& picture) {
    for (int y = 0; y < picture.image.height(); ++y) {
        for (int x = 0; x < picture.image.width(); ++x) {
            if (shown.pixel(x, y) != picture.at(x, y)) {
                return QStringLiteral("pixel %1,%2: %3 instead of %4")
                    .arg(x)
                    .arg(y)
                    .arg(shown.pixel(x, y), 8, 16)
                    .arg(picture.at(x, y), 8, 16);
            }
        }
    }
    return {};
}

}  // namespace

class ImageControlTest : public QObject {
    Q_OBJECT

  private slots:
    void everyPixelAtEveryWidth_data() {
        QTest::addColumn<int>("width");
        QTest::addColumn<bool>("vector");
        // Below, at and around the four-pixel steps and the plain tail, and the picture's own width; with
        // the vector conversion and with its plain fallback.
        for (int width : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 13, 255, 256}) {
            for (bool vector : {true, false}) {
                QTest::newRow(qPrintable(QString::number(width) + (vector ? " vector" : " plain")))
                    << width << vector;
            }
        }
    }

    void everyPixelAtEveryWidth() {
        QFETCH(int, width);
        QFETCH(bool, vector);
        nrbx::platform::setVectorKernelsEnabled(vector);
        BgrPicture picture(width, 5, static_cast<quint32>(width));
        ImageControl control;
        control.resize(width, 5);
        control.setImage(picture.image);
        const QImage shown = control.grab().toImage();
        nrbx::platform::resetSimdState();
        const QString difference = firstDifference(shown, picture);
        QVERIFY2(difference.isEmpty(), qPrintable(difference));
    }

    void changesToTheBytesShowAtTheNextRepaint() {
        BgrPicture picture(16, 16, 7);
        ImageControl control;
        control.resize(16, 16);
        control.setImage(picture.image);
        QVERIFY(firstDifference(control.grab().toImage(), picture).isEmpty());
        picture.bytes[3 * 17] = 0x12;
        picture.bytes[3 * 17 + 1] = 0x34;
        picture.bytes[3 * 17 + 2] = 0x56;
        const QImage shown = control.grab().toImage();
        QCOMPARE(shown.pixel(1, 1), qRgb(0x56, 0x34, 0x12));
        QVERIFY(firstDifference(shown, picture).isEmpty());
    }

    void backgroundOnlyOutsideTheImage() {
        BgrPicture picture(10, 6, 3);
        ImageControl control;
        control.resize(14, 9);
        control.setImage(picture.image);
        const QImage shown = control.grab().toImage();
        QVERIFY(firstDifference(shown, picture).isEmpty());
        const QRgb background = control.palette().color(QPalette::Window).rgb();
        for (QPoint p : {QPoint(10, 0), QPoint(13, 5), QPoint(0, 6), QPoint(13, 8)}) {
            QCOMPARE(shown.pixel(p), background);
        }
    }

    void otherFormatsShownAsTheyAre() {
        QImage image(3, 2, QImage::Format_RGB32);
        image.fill(qRgb(10, 200, 30));
        image.setPixel(2, 1, qRgb(255, 0, 128));
        ImageControl control;
        control.resize(3, 2);
        control.setImage(image);
        const QImage shown = control.grab().toImage();
        QCOMPARE(shown.pixel(0, 0), qRgb(10, 200, 30));
        QCOMPARE(shown.pixel(2, 1), qRgb(255, 0, 128));
    }
};

QTEST_MAIN(ImageControlTest)
#include "image_control_test.moc"
