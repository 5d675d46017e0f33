// Files named on the command line and files dropped onto the window load as the open dialogs' choices do.

#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include "app/application.h"
#include "app/command_line.h"
#include "data/palette.h"
#include "platform/qt/image_control.h"
#include "platform/qt/status_bar.h"
#include "support/window_fixture.h"
#include "ui/nrbx_main.h"
#include "ui/shell_state.h"

namespace {

const QString kConverting = QStringLiteral("変換中です・・・・");
const QString kNoPalette = QStringLiteral("パレットが未定義です。（デフォルトパレットで代用表示中）");
const QString kNoPattern = QStringLiteral("ＰＣＧが未定義です。");

// Every text the status line is painted with, in order, each change once.
class StatusTexts : public QObject {
  public:
    explicit StatusTexts(nrbx::platform::StatusBar* bar) : m_bar(bar) { bar->installEventFilter(this); }
    QStringList texts;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == m_bar && event->type() == QEvent::Paint &&
            (texts.isEmpty() || texts.last() != m_bar->simpleText())) {
            texts << m_bar->simpleText();
        }
        return QObject::eventFilter(watched, event);
    }

  private:
    nrbx::platform::StatusBar* m_bar;
};

std::string local(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

// Outside the selection frame around cell (0, 0), the picture is the grid in the current block.
bool pictureShowsTheGrid() {
    for (int i = 0; i < 200; i += 3) {
        const int x = 32 + i, y = 32 + (i * 7) % 200;
        if (nrbx::test::viewPixel(x, y) != nrbx::test::renderedPixel(x, y)) return false;
    }
    return true;
}

}  // namespace

class OpenFilesTest : public QObject {
    Q_OBJECT

  private slots:
    void commandLineNamesFilesAndAnswersOptionsWithoutAWindow() {
        using nrbx::app::CommandLine;
        using nrbx::app::parseCommandLine;
        auto line = parseCommandLine({"a.pcg", "-", "B.PAL"});
        QCOMPARE(line.action, CommandLine::Action::Run);
        QCOMPARE(line.files, (std::vector<std::string>{"a.pcg", "-", "B.PAL"}));
        line = parseCommandLine({"--", "--help", "-x.pcg"});
        QCOMPARE(line.files, (std::vector<std::string>{"--help", "-x.pcg"}));
        QCOMPARE(parseCommandLine({"a.pcg", "--help"}).action, CommandLine::Action::Help);
        QCOMPARE(parseCommandLine({"--version", "-h"}).action, CommandLine::Action::Version);
        line = parseCommandLine({"--help", "--geometry", "a.pcg"});
        QCOMPARE(line.action, CommandLine::Action::UsageError);
        QCOMPARE(line.error, std::string("unknown option '--geometry'"));
        QCOMPARE(nrbx::app::versionText(), std::string("nrbx 0.20\n"));
    }

    void commandLineFilesLoadInOrderWithTheLoadCommandsStatusTexts() {
        nrbx::test::RunningProgram program;
        StatusTexts status(program.form()->stbar);
        QTemporaryDir dir;
        // The extension decides, in any case.
        const QString palette = dir.filePath("Demo.PAL");
        QVERIFY(QFile::copy(nrbx::test::samplePath("demo.pal"), palette));

        program.application().openFilesWhenShown({local(palette), local(nrbx::test::samplePath("demo.pcg"))});
        QVERIFY(!nrbx::ui::shellState().paletteLoaded);  // nothing before the event loop runs
        QTRY_VERIFY(nrbx::ui::shellState().patternLoaded);

        QCOMPARE(status.texts, (QStringList{kConverting, QString(), kNoPattern, kConverting, QString()}));
        QVERIFY(nrbx::ui::shellState().paletteLoaded);
        QVERIFY(nrbx::data::paletteState().table != nrbx::data::PaletteTable{});
        QVERIFY(pictureShowsTheGrid());
        QCOMPARE(program.boxes.shown.size(), 0);
        QCOMPARE(program.dialogs.requests.size(), 0);  // no dialog is shown for named files
    }

    void missingFileShowsTheErrorBoxAndTheNextStillLoads() {
        nrbx::test::RunningProgram program;
        StatusTexts status(program.form()->stbar);
        QTemporaryDir dir;
        const QString missing = dir.filePath("gone.pcg");

        program.form()->openFiles({local(missing), local(nrbx::test::samplePath("demo.pal"))});
        QCOMPARE(program.boxes.shown.size(), 1);
        QCOMPARE(program.boxes.shown[0].caption, QStringLiteral("ノルバクス"));
        QCOMPARE(program.boxes.shown[0].text, QStringLiteral("ファイル %1 は開けません.").arg(missing));
        QVERIFY(!nrbx::ui::shellState().patternLoaded);
        QVERIFY(nrbx::ui::shellState().paletteLoaded);
        QCOMPARE(status.texts, (QStringList{kConverting, QString(), kNoPattern}));
    }

    void droppedPatternFileLoadsAndOtherDropsAreRefused() {
        nrbx::test::RunningProgram program;
        auto* form = program.form();
        const QPoint onPicture = form->pcg_img->mapTo(form, QPoint(10, 10));

        QMimeData web;
        web.setUrls({QUrl(QStringLiteral("https://nrbx.example.org/demo.pcg"))});
        web.setText(QStringLiteral("demo.pcg"));
        QDragEnterEvent refused(onPicture, Qt::CopyAction, &web, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(form, &refused);
        QVERIFY(!refused.isAccepted());

        QMimeData files;
        files.setUrls({QUrl::fromLocalFile(nrbx::test::samplePath("demo.pcg"))});
        QDragEnterEvent enter(onPicture, Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(form, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(onPicture), Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(form, &drop);
        QVERIFY(drop.isAccepted());
        QTRY_VERIFY(nrbx::ui::shellState().patternLoaded);
        QCOMPARE(program.form()->stbar->simpleText(), kNoPalette);
        QVERIFY(pictureShowsTheGrid());
        QCOMPARE(program.boxes.shown.size(), 0);
    }
};

QTEST_MAIN(OpenFilesTest)
#include "open_files_test.moc"
