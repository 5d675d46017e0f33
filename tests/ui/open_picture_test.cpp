// A PNG or BMP named on the command line is imported and shown, each cell in its own block; a picture
// that cannot be imported says so in Japanese, and a file is told to be a picture by its bytes alone.

#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>

#include "app/application.h"
#include "data/pattern.h"
#include "platform/qt/image_control.h"
#include "platform/qt/status_bar.h"
#include "support/window_fixture.h"
#include "ui/nrbx_main.h"
#include "ui/shell_state.h"

namespace {

std::string local(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

// Six cells of sixteen colours each, no colour shared: six palette blocks, on the palette's grid.
QColor cellColour(int cell, int i) {
    const int n = cell * 16 + i;
    return QColor(n % 32 * 8, n / 32 * 8 + 64, (n * 7) % 32 * 8);
}

QImage sixCells() {
    QImage image(48, 32, QImage::Format_RGB32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 48; ++x)
            image.setPixelColor(x, y, cellColour(x / 16 + y / 16 * 3, (x + 3 * y) % 16));
    return image;
}

bool sameOnTheGrid(const QColor& a, const QColor& b) {
    return a.red() >> 3 == b.red() >> 3 && a.green() >> 3 == b.green() >> 3 && a.blue() >> 3 == b.blue() >> 3;
}

}  // namespace

class OpenPictureTest : public QObject {
    Q_OBJECT

  private slots:
    void pictureIsShownInItsBlocksWhateverItsName() {
        nrbx::test::RunningProgram program;
        QTemporaryDir dir;
        // Named as a pattern file: the bytes decide.
        const QString path = dir.filePath("sprites.pcg");
        QVERIFY(sixCells().save(path, "PNG"));
        program.application().openFilesWhenShown({local(path)});
        QTRY_VERIFY(nrbx::ui::shellState().patternLoaded);
        QVERIFY(nrbx::ui::shellState().paletteLoaded);
        QCOMPARE(program.boxes.shown.size(), 0);
        QCOMPARE(program.form()->stbar->simpleText(),
                 QStringLiteral("画像を取り込みました。（パレットブロック 6 個）"));

        const QImage shown = program.form()->pcg_img->grab().toImage();
        const QImage source = sixCells();
        int compared = 0;
        for (int y = 0; y < 32; ++y) {
            for (int x = 0; x < 48; ++x) {
                // The selection frame is drawn over cell 0,0.
                if (x < 16 && y < 16) continue;
                QVERIFY2(sameOnTheGrid(shown.pixelColor(x, y), source.pixelColor(x, y)),
                         qPrintable(QStringLiteral("pixel %1,%2").arg(x).arg(y)));
                ++compared;
            }
        }
        QCOMPARE(compared, 5 * 256);
        // The cells outside the picture are index 0 of block 0.
        QCOMPARE(nrbx::data::patternState().grid(100, 100), 0);
    }

    void colourfulPictureIsReducedAndABadOneRefusedInJapanese() {
        nrbx::test::RunningProgram program;
        QTemporaryDir dir;
        QImage gradient(32, 16, QImage::Format_RGB32);
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 32; ++x) gradient.setPixelColor(x, y, QColor(x * 8, y * 16, 128));
        const QString reduced = dir.filePath("gradient.png");
        QVERIFY(gradient.save(reduced, "PNG"));
        const QString odd = dir.filePath("odd.bmp");
        QVERIFY(QImage(24, 16, QImage::Format_RGB32).save(odd, "BMP"));

        program.form()->openFiles({local(reduced)});
        QCOMPARE(program.boxes.shown.size(), 0);
        QVERIFY(
            program.form()->stbar->simpleText().startsWith(QStringLiteral("画像を減色して取り込みました。")));

        program.form()->openFiles({local(odd)});
        QCOMPARE(program.boxes.shown.size(), 1);
        const QString text = program.boxes.shown[0].text;
        QVERIFY2(text.startsWith(QStringLiteral("画像ファイル %1 は取り込めません。\n").arg(odd)),
                 qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("24 x 16 pixels; both sides must be multiples of 16")),
                 qPrintable(text));
        QCOMPARE(program.form()->stbar->simpleText(), QStringLiteral("画像を取り込めませんでした。"));
    }
};

QTEST_MAIN(OpenPictureTest)
#include "open_picture_test.moc"
