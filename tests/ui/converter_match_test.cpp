// The converter writes byte for byte the file the window's save-selection command writes.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <QToolButton>

#include "platform/qt/image_control.h"
#include "platform/qt/up_down.h"
#include "support/window_fixture.h"
#include "ui/nrbx_main.h"

class ConverterMatchTest : public QObject {
    Q_OBJECT

  private slots:
    void selectionInABlockMatchesAtEveryDepth() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString pcg = nrbx::test::samplePath("demo.pcg");
        const QString pal = nrbx::test::samplePath("demo.pal");
        for (int type = 1; type <= 3; ++type) {
            const QString bpp = QString::number(type == 1 ? 24 : type == 2 ? 8 : 4);
            nrbx::test::RunningProgram program;
            auto* form = program.form();
            program.dialogs.choose(pcg);
            form->nx_pcgload->trigger();
            program.dialogs.choose(pal);
            form->nx_palload->trigger();
            // Cells drawn from (6, 4) to (2, 1), then block 2 for them.
            QTest::mousePress(form->pcg_img, Qt::LeftButton, {}, QPoint(6 * 16 + 3, 4 * 16 + 3));
            QTest::mouseMove(form->pcg_img, QPoint(2 * 16 + 3, 1 * 16 + 3));
            QTest::mouseRelease(form->pcg_img, Qt::LeftButton, {}, QPoint(2 * 16 + 3, 1 * 16 + 3));
            QTest::mouseClick(form->pb_setbt->nextButton(), Qt::LeftButton);
            QTest::mouseClick(form->pb_setbt->nextButton(), Qt::LeftButton);
            const QString fromWindow = dir.filePath("window" + bpp + ".bmp");
            program.dialogs.choose(fromWindow, type);
            form->nx_selsave->trigger();
            QCOMPARE(program.boxes.shown.size(), 0);

            const QString fromConverter = dir.filePath("cli" + bpp + ".bmp");
            QProcess cli;
            cli.start(QStringLiteral(NRBX_EXPORT_BINARY),
                      {pcg, "-p", pal, "--cells", "0,0:15,15=0", "--cells", "6,4:2,1=2", "-s", "6,4:2,1",
                       "-d", bpp, "-o", fromConverter});
            QVERIFY(cli.waitForFinished(30000));
            QCOMPARE(cli.exitCode(), 0);

            QFile a(fromWindow), b(fromConverter);
            QVERIFY(a.open(QIODevice::ReadOnly));
            QVERIFY(b.open(QIODevice::ReadOnly));
            const QByteArray windowBytes = a.readAll();
            QVERIFY(windowBytes.size() > 54);
            QCOMPARE(b.readAll(), windowBytes);
        }
    }
};

QTEST_MAIN(ConverterMatchTest)
#include "converter_match_test.moc"
