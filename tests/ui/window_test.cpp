// The main window driven as a user drives it: loads, the palette-block control, the mouse on the
// picture, the menus and their enabling, the saves, the failure box and Exit.

#include <QAbstractProxyModel>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <functional>

#include "app/application.h"
#include "canvas/copy.h"
#include "canvas/images.h"
#include "canvas/picture_mouse.h"
#include "canvas/selection.h"
#include "data/pattern.h"
#include "platform/cursor.h"
#include "platform/qt/bevel.h"
#include "platform/qt/drag_cursor.h"
#include "platform/qt/file_dialog.h"
#include "platform/qt/image_control.h"
#include "platform/qt/status_bar.h"
#include "support/window_fixture.h"
#include "ui/nrbx_main.h"
#include "ui/shell_state.h"

using nrbx::test::RunningProgram;
using nrbx::test::samplePath;
using nrbx::test::viewPixel;
namespace canvas = nrbx::canvas;
namespace ui = nrbx::ui;

namespace {

const QString kNoPalette = QStringLiteral("パレットが未定義です。（デフォルトパレットで代用表示中）");
const QString kNoPattern = QStringLiteral("ＰＣＧが未定義です。");

QPoint cellPoint(int cx, int cy) {
    return QPoint(cx * 16 + 7, cy * 16 + 9);
}

QStringList captions(const QMenu* menu) {
    QStringList list;
    for (const QAction* action : menu->actions())
        list << (action->isSeparator() ? QStringLiteral("-") : action->text());
    return list;
}

bool sameColor(const QColor& a, const QColor& b) {
    return a.rgb() == b.rgb();
}

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll();
}

std::uint32_t le32(const QByteArray& bytes, int offset) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<std::uint8_t>(bytes.at(offset + i));
    return v;
}

}  // namespace

class WindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<RunningProgram> program;
    ui::Tnrbx_form* form() const { return program->form(); }
    nrbx::test::ScriptedFileDialogs& dialogs() { return program->dialogs; }
    QString status() const { return form()->stbar->simpleText(); }

    void loadPattern(const QString& path) {
        dialogs().choose(path);
        form()->nx_pcgload->trigger();
    }
    void loadPalette(const QString& path) {
        dialogs().choose(path);
        form()->nx_palload->trigger();
    }
    void clickCell(int cx, int cy, Qt::MouseButton button = Qt::LeftButton) {
        QTest::mouseClick(form()->pcg_img, button, {}, cellPoint(cx, cy));
    }
    void drag(QPoint from, QPoint to) {
        QTest::mousePress(form()->pcg_img, Qt::LeftButton, {}, from);
        QTest::mouseMove(form()->pcg_img, to);
        QTest::mouseRelease(form()->pcg_img, Qt::LeftButton, {}, to);
    }
    // Opens a menu of the menu bar with its access key, as the keyboard user does.
    QMenu* openWithAccessKey(Qt::Key key, QMenu* menu) {
        QTest::keyClick(form(), key, Qt::AltModifier);
        if (!QTest::qWaitFor([menu] { return menu->isVisible(); }, 2000)) return nullptr;
        return menu;
    }
    // Has the real dialog that the command is about to show answered by the given step.
    static void answerRealDialog(bool& answered, std::function<void(QFileDialog*)> step) {
        answered = false;
        QTimer::singleShot(0, [&answered, step] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!dialog) return;
            step(dialog);
            answered = true;
            static_cast<QDialog*>(dialog)->accept();
        });
    }
    void closeMenus() {
        while (QWidget* popup = QApplication::activePopupWidget()) popup->close();
    }

  private slots:
    void init() { program = std::make_unique<RunningProgram>(); }
    void cleanup() {
        closeMenus();
        program.reset();
    }

    void startUpShowsTheDesignedWindow() {
        QCOMPARE(ui::nrbx_form, form());
        QCOMPARE(form()->windowTitle(), QStringLiteral("ノルバクス"));
        QCOMPARE(form()->clientWidth(), 473);
        QCOMPARE(form()->clientHeight(), 316);
        QCOMPARE(form()->pos(), QPoint(274, 154));
        QCOMPARE(form()->centralWidget()->geometry().top(), form()->MainMenu1->geometry().bottom() + 1);
        QCOMPARE(form()->stbar->geometry(), QRect(0, form()->MainMenu1->height() + 297, 473, 19));
        QCOMPARE(form()->pcg_img->geometry(), QRect(176, 8, 256, 256));
        QCOMPARE(form()->Bevel1->geometry(), QRect(8, 8, 145, 81));
        QCOMPARE(form()->Bevel2->geometry(), QRect(8, 0, 473, 50));
        QCOMPARE(form()->pb_setbt->geometry(), QRect(46, 56, 57, 25));
        QCOMPARE(form()->pbx_mon->pos(), QPoint(64, 32));
        QCOMPARE(form()->Label1->pos(), QPoint(16, 16));
        QCOMPARE(form()->stms->geometry(), QRect(20, 272, 405, 25));
        QCOMPARE(form()->Label1->text(), QStringLiteral("パレットブロックナンバー"));
        QCOMPARE(form()->pbx_mon->text(), QStringLiteral("00"));
        QCOMPARE(form()->stms->text(), QString());
        QCOMPARE(status(), QString());
        QCOMPARE(form()->pb_setbt->position(), 0);
        QCOMPARE(form()->pbx_mon->font().pixelSize(), 19);
        QCOMPARE(form()->stms->font().pixelSize(), 16);
        QCOMPARE(form()->font().pixelSize(), 12);

        // The start-up state that FormCreate leaves.
        const auto& shell = ui::shellState();
        QCOMPARE(QString::fromStdString(shell.executableDirectory), QCoreApplication::applicationDirPath());
        QCOMPARE(shell.versionValue, 0.2);
        QVERIFY(!shell.patternLoaded);
        QVERIFY(!shell.paletteLoaded);
        QVERIFY(!canvas::copyState().copyMode);
        QCOMPARE(canvas::imageState().paletteBlock, 0);
        QVERIFY(sameColor(viewPixel(0, 0), Qt::white));
        QVERIFY(sameColor(viewPixel(255, 255), Qt::white));
    }

    void menusCarryTheirCaptionsAndNoShortcuts() {
        QStringList bar;
        for (const QAction* action : form()->MainMenu1->actions()) bar << action->text();
        QCOMPARE(bar, QStringList({"ファイル(&F)", "編集(&E)", "ヘルプ(&H)"}));
        QCOMPARE(
            captions(form()->nx_file),
            QStringList({"ＰＣＧファイル読み込み(&L)", "パレットファイル読み込み(&P)", "-",
                         "全体をＢＭＰ形式で保存(&A)", "選択範囲をＢＭＰ形式で保存(&S)", "-", "終了(&E)"}));
        QCOMPARE(captions(form()->Edit1),
                 QStringList({"コピー(&C)", "コピーキャンセル(&N)", "すべて選択(&A)"}));
        QCOMPARE(captions(form()->Help1), QStringList({"ノルバクスヘルプ(&H)", "アプリケーション情報(&A)"}));
        QCOMPARE(captions(form()->Popup1),
                 QStringList({"コピー(&C)", "コピーキャンセル(&N)", "全て選択(&A)"}));
        for (const QAction* action : form()->findChildren<QAction*>()) {
            QVERIFY2(action->shortcut().isEmpty(), qPrintable(action->text()));
            QVERIFY2(action->isEnabled(), qPrintable(action->text()));
        }
    }

    void patternLoadFirstShowsThePaletteNotice() {
        loadPattern(samplePath("demo.pcg"));
        QCOMPARE(dialogs().requests.size(), 1);
        const auto& request = dialogs().requests.at(0);
        QCOMPARE(request.kind, nrbx::platform::FileDialogKind::Open);
        QCOMPARE(request.title, QStringLiteral("ＰＣＧファイル（スプライトパターン）読み込み"));
        QCOMPARE(request.nameFilters,
                 QStringList({"ＰＣＧファイル(*.pcg,*.pat,*.dat) (*.pcg *pat *.dat)", "全てのファイル (*)"}));
        QCOMPARE(request.filterIndex, 1);
        QCOMPARE(request.fileName, QString());
        QCOMPARE(status(), kNoPalette);
        QVERIFY(ui::shellState().patternLoaded);

        // Every cell drawn with block 0 of the default palette, the frame around cell (0, 0).
        QVERIFY(sameColor(viewPixel(0, 0), Qt::black));
        QVERIFY(sameColor(viewPixel(1, 1), QColor(0, 0, 255)));
        QVERIFY(sameColor(viewPixel(2, 2), Qt::white));
        for (const QPoint p : {QPoint(3, 3), QPoint(100, 37), QPoint(255, 255), QPoint(200, 150)}) {
            QVERIFY(sameColor(viewPixel(p.x(), p.y()), nrbx::test::renderedPixel(p.x(), p.y())));
        }
        // What the window shows is the view image.
        const QImage shown = form()->pcg_img->grab().toImage();
        QCOMPARE(shown.size(), QSize(256, 256));
        for (const QPoint p : {QPoint(0, 0), QPoint(1, 1), QPoint(100, 37), QPoint(255, 255)}) {
            QVERIFY(sameColor(shown.pixelColor(p), viewPixel(p.x(), p.y())));
        }

        loadPalette(samplePath("demo.pal"));
        QCOMPARE(dialogs().requests.at(1).title,
                 QStringLiteral("パレットファイル（スプライトパレット）読み込み"));
        QCOMPARE(dialogs().requests.at(1).nameFilters,
                 QStringList({"パレットファイル(*.pal) (*.pal)", "全てのファイル (*)"}));
        QCOMPARE(status(), QString());
        QVERIFY(sameColor(viewPixel(100, 37), nrbx::test::renderedPixel(100, 37)));
    }

    void paletteLoadFirstShowsThePatternNotice() {
        loadPalette(samplePath("demo.pal"));
        QCOMPARE(status(), kNoPattern);
        QVERIFY(ui::shellState().paletteLoaded);
        QVERIFY(!ui::shellState().patternLoaded);
        loadPattern(samplePath("demo.pcg"));
        QCOMPARE(status(), QString());
    }

    void secondPatternLoadWithoutPaletteShowsTheNoticeAgain() {
        loadPattern(samplePath("demo.pcg"));
        QTemporaryDir dir;
        QFile empty(dir.filePath("empty.pcg"));
        QVERIFY(empty.open(QIODevice::WriteOnly));
        empty.close();
        loadPattern(empty.fileName());
        QCOMPARE(status(), kNoPalette);
    }

    void openDialogStartsEmptyWithTheFirstFilterEachTime() {
        dialogs().choose(samplePath("demo.pcg"), 2);
        form()->nx_pcgload->trigger();
        QCOMPARE(form()->OpenDialog1->filterIndex(), 2);
        loadPattern(samplePath("demo.pcg"));
        QCOMPARE(dialogs().requests.at(1).fileName, QString());
        QCOMPARE(dialogs().requests.at(1).filterIndex, 1);
        loadPalette(samplePath("demo.pal"));
        QCOMPARE(dialogs().requests.at(2).fileName, QString());
        QCOMPARE(dialogs().requests.at(2).filterIndex, 1);
    }

    void cancelledLoadsChangeNothing() {
        loadPattern(samplePath("demo.pcg"));
        const auto images = canvas::imageState();
        const auto grid = nrbx::data::patternState().grid;
        dialogs().cancel();
        form()->nx_pcgload->trigger();
        dialogs().cancel();
        form()->nx_palload->trigger();
        QCOMPARE(dialogs().requests.size(), 3);
        QCOMPARE(status(), kNoPalette);
        QVERIFY(!ui::shellState().paletteLoaded);
        QVERIFY(canvas::imageState().view == images.view);
        QVERIFY(canvas::imageState().backing == images.backing);
        QVERIFY(nrbx::data::patternState().grid == grid);
        QVERIFY(program->boxes.shown.isEmpty());
    }

    void missingFileShowsTheOpenFailureAndTheProgramGoesOn() {
        loadPalette(samplePath("demo.pal"));
        const auto view = canvas::imageState().view;
        QTemporaryDir dir;
        const QString missing = dir.filePath("ない.pcg");
        loadPattern(missing);
        QCOMPARE(program->boxes.shown.size(), 1);
        const ui::FailureBox& box = program->boxes.shown.at(0);
        QCOMPARE(box.caption, QStringLiteral("ノルバクス"));
        QCOMPARE(box.text, QStringLiteral("ファイル ") + missing + QStringLiteral(" は開けません."));
        QCOMPARE(box.icon, QMessageBox::Critical);
        QCOMPARE(box.modality, Qt::ApplicationModal);
        QCOMPARE(status(), kNoPattern);
        QVERIFY(!ui::shellState().patternLoaded);
        QVERIFY(canvas::imageState().view == view);

        loadPattern(samplePath("demo.pcg"));
        QCOMPARE(status(), QString());
        QCOMPARE(program->boxes.shown.size(), 1);
    }

    void upDownStopsAtBothEnds() {
        loadPattern(samplePath("demo.pcg"));
        QSignalSpy steps(form()->pb_setbt, &nrbx::platform::UpDown::stepped);
        const auto view = canvas::imageState().view;
        QTest::mouseClick(form()->pb_setbt->previousButton(), Qt::LeftButton);
        QCOMPARE(steps.count(), 0);
        QCOMPARE(form()->pbx_mon->text(), QStringLiteral("00"));
        QVERIFY(canvas::imageState().view == view);

        for (int i = 0; i < 15; ++i) QTest::mouseClick(form()->pb_setbt->nextButton(), Qt::LeftButton);
        QCOMPARE(form()->pbx_mon->text(), QStringLiteral("15"));
        QCOMPARE(canvas::imageState().paletteBlock, 15);
        QCOMPARE(steps.count(), 15);
        const auto at15 = canvas::imageState();
        QTest::mouseClick(form()->pb_setbt->nextButton(), Qt::LeftButton);
        QCOMPARE(steps.count(), 15);
        QCOMPARE(form()->pbx_mon->text(), QStringLiteral("15"));
        QCOMPARE(form()->pb_setbt->position(), 15);
        QVERIFY(canvas::imageState().backing == at15.backing);
    }

    void holdingAnArrowRepeatsStepsOfOne() {
        QList<int> positions;
        connect(form()->pb_setbt, &nrbx::platform::UpDown::stepped, this,
                [&] { positions << form()->pb_setbt->position(); });
        QTest::mousePress(form()->pb_setbt->nextButton(), Qt::LeftButton);
        QTest::qWait(900);
        QTest::mouseRelease(form()->pb_setbt->nextButton(), Qt::LeftButton);
        QVERIFY2(positions.size() >= 3, qPrintable(QString::number(positions.size())));
        for (int i = 0; i < positions.size(); ++i) QCOMPARE(positions.at(i), i + 1);
        QCOMPARE(form()->pbx_mon->text(), QString::asprintf("%02d", int(positions.size())));
        QCOMPARE(canvas::imageState().paletteBlock, int(positions.size()));
    }

    void upDownFromNineToTenRendersOnlyTheSelectedCell() {
        loadPattern(samplePath("demo.pcg"));
        loadPalette(samplePath("demo.pal"));
        for (int i = 0; i < 9; ++i) QTest::mouseClick(form()->pb_setbt->nextButton(), Qt::LeftButton);
        QCOMPARE(form()->pbx_mon->text(), QStringLiteral("09"));
        const auto before = canvas::imageState().backing;
        QTest::mouseClick(form()->pb_setbt->nextButton(), Qt::LeftButton);
        QCOMPARE(form()->pbx_mon->text(), QStringLiteral("10"));
        QCOMPARE(canvas::imageState().paletteBlock, 10);
        const auto& after = canvas::imageState().backing;
        int changedInside = 0;
        for (int y = 0; y < 256; ++y) {
            for (int x = 0; x < 256; ++x) {
                const bool same = std::equal(after.pixel(x, y), after.pixel(x, y) + 3, before.pixel(x, y));
                if (x < 16 && y < 16) {
                    changedInside += same ? 0 : 1;
                } else {
                    QVERIFY2(same, qPrintable(QStringLiteral("pixel %1,%2 changed").arg(x).arg(y)));
                }
            }
        }
        QVERIFY(changedInside > 0);
        const std::uint8_t* p = after.pixel(8, 8);
        QVERIFY(sameColor(QColor(p[2], p[1], p[0]), nrbx::test::renderedPixel(8, 8)));
    }

    void mouseDragFramesTheOrderedSelection() {
        drag(cellPoint(10, 3), cellPoint(2, 12));
        const auto& s = canvas::selectionState().selection;
        QCOMPARE(s, (canvas::CellRect{10, 3, 2, 12}));
        QVERIFY(!canvas::selectionState().dragging);
        // Black outer ring from (32, 48) to (175, 207), then blue, then white.
        for (const QPoint p :
             {QPoint(32, 48), QPoint(175, 48), QPoint(32, 207), QPoint(175, 207), QPoint(100, 48)}) {
            QVERIFY(sameColor(viewPixel(p.x(), p.y()), Qt::black));
        }
        QVERIFY(sameColor(viewPixel(33, 49), QColor(0, 0, 255)));
        QVERIFY(sameColor(viewPixel(174, 206), QColor(0, 0, 255)));
        QVERIFY(sameColor(viewPixel(34, 50), Qt::white));
        QVERIFY(sameColor(viewPixel(31, 48), Qt::white));
        QVERIFY(sameColor(viewPixel(176, 207), Qt::white));
        const QImage shown = form()->pcg_img->grab().toImage();
        QVERIFY(sameColor(shown.pixelColor(32, 48), Qt::black));
        QVERIFY(sameColor(shown.pixelColor(33, 49), QColor(0, 0, 255)));
        // The backing image, and so every saved file, never holds the frame.
        QVERIFY(canvas::imageState().backing.pixel(32, 48)[0] == 0xFF);
    }

    void dragPastTheEdgeHoldsTheMovingCellAtTheEdge() {
        QTest::mousePress(form()->pcg_img, Qt::LeftButton, {}, cellPoint(3, 3));
        QTest::mouseMove(form()->pcg_img, QPoint(300, -40));
        QCOMPARE(canvas::selectionState().selection, (canvas::CellRect{3, 3, 15, 0}));
        QTest::mouseRelease(form()->pcg_img, Qt::LeftButton, {}, QPoint(300, -40));
        QVERIFY(!canvas::selectionState().dragging);
    }

    void rightReleaseOpensThePopupAtThePointer() {
        clickCell(5, 5);
        QTest::mousePress(form()->pcg_img, Qt::RightButton, {}, cellPoint(9, 9));
        QVERIFY(!form()->Popup1->isVisible());
        QCOMPARE(canvas::selectionState().selection, (canvas::CellRect{5, 5, 5, 5}));
        canvas::startDrag();
        QTest::mouseRelease(form()->pcg_img, Qt::RightButton, {}, cellPoint(9, 9));
        QVERIFY(!canvas::selectionState().dragging);
        QVERIFY(form()->Popup1->isVisible());
        QCOMPARE(form()->Popup1->pos(), form()->pcg_img->mapToGlobal(cellPoint(9, 9)));
        QCOMPARE(canvas::selectionState().selection, (canvas::CellRect{5, 5, 5, 5}));
    }

    void rightClickElsewhereOpensNoMenu() {
        QTest::mouseClick(form()->centralWidget(), Qt::RightButton, {}, QPoint(100, 200));
        QVERIFY(QApplication::activePopupWidget() == nullptr);
        // Pressed on the picture, released off it (left and below): the release is handled, no menu.
        for (const QPoint off : {QPoint(-1, 100), QPoint(100, 256)}) {
            canvas::startDrag();
            QTest::mousePress(form()->pcg_img, Qt::RightButton, {}, cellPoint(4, 4));
            QTest::mouseRelease(form()->pcg_img, Qt::RightButton, {}, off);
            QVERIFY(!canvas::selectionState().dragging);
            QVERIFY(QApplication::activePopupWidget() == nullptr);
        }
    }

    void enablingRuleFollowsCopyModeWhenEachMenuOpens() {
        auto* form = this->form();
        // Edit menu, opened with Alt+E, before Copy.
        QVERIFY(openWithAccessKey(Qt::Key_E, form->Edit1));
        QVERIFY(form->nx_copy->isEnabled());
        QVERIFY(!form->nx_cpcansel->isEnabled());
        QVERIFY(form->SelectAll1->isEnabled());
        QTest::keyClick(form->Edit1, Qt::Key_Escape);
        QTRY_VERIFY(!form->Edit1->isVisible());

        // The popup before Copy; Copy chosen in it with the mouse.
        QTest::mouseClick(form->pcg_img, Qt::RightButton, {}, cellPoint(1, 1));
        QVERIFY(form->Popup1->isVisible());
        QVERIFY(form->pop_copy->isEnabled());
        QVERIFY(!form->pop_can->isEnabled());
        QVERIFY(form->pop_all->isEnabled());
        QTest::mouseClick(form->Popup1, Qt::LeftButton, {},
                          form->Popup1->actionGeometry(form->pop_copy).center());
        QVERIFY(canvas::copyState().copyMode);
        QTRY_VERIFY(!form->Popup1->isVisible());
        // Nothing is updated until a menu opens.
        QVERIFY(form->nx_copy->isEnabled());
        QVERIFY(form->pop_copy->isEnabled());

        QVERIFY(openWithAccessKey(Qt::Key_E, form->Edit1));
        QVERIFY(!form->nx_copy->isEnabled());
        QVERIFY(form->nx_cpcansel->isEnabled());
        QVERIFY(!form->SelectAll1->isEnabled());
        QVERIFY(form->pop_copy->isEnabled());
        // A greyed item's access key runs nothing; the enabled one's does.
        QTest::keyClick(form->Edit1, Qt::Key_A);
        QCOMPARE(canvas::selectionState().selection, (canvas::CellRect{0, 0, 0, 0}));
        QVERIFY(form->Edit1->isVisible());
        QTest::keyClick(form->Edit1, Qt::Key_N);
        QVERIFY(!canvas::copyState().copyMode);
        QTRY_VERIFY(!form->Edit1->isVisible());

        // Into copy mode again from the Edit menu; the popup then offers only cancel, chosen with the
        // right button.
        QVERIFY(openWithAccessKey(Qt::Key_E, form->Edit1));
        QVERIFY(form->nx_copy->isEnabled());
        QTest::keyClick(form->Edit1, Qt::Key_C);
        QVERIFY(canvas::copyState().copyMode);
        QTest::mouseClick(form->pcg_img, Qt::RightButton, {}, cellPoint(1, 1));
        QVERIFY(form->Popup1->isVisible());
        QVERIFY(!form->pop_copy->isEnabled());
        QVERIFY(form->pop_can->isEnabled());
        QVERIFY(!form->pop_all->isEnabled());
        QTest::mouseClick(form->Popup1, Qt::RightButton, {},
                          form->Popup1->actionGeometry(form->pop_can).center());
        QVERIFY(!canvas::copyState().copyMode);
    }

    void selectAllFromTheMenuFramesThePicture() {
        QVERIFY(openWithAccessKey(Qt::Key_E, form()->Edit1));
        QTest::keyClick(form()->Edit1, Qt::Key_A);
        QCOMPARE(canvas::selectionState().selection, (canvas::CellRect{0, 0, 15, 15}));
        QVERIFY(sameColor(viewPixel(255, 0), Qt::black));
        QVERIFY(sameColor(viewPixel(254, 254), QColor(0, 0, 255)));
    }

    void copyPlacesTheCellsWhereTheMouseClicks() {
        loadPattern(samplePath("demo.pcg"));
        loadPalette(samplePath("demo.pal"));
        const auto grid = nrbx::data::patternState().grid;
        drag(cellPoint(1, 1), cellPoint(2, 1));  // two cells: sprites 0x11 and 0x12
        QVERIFY(QApplication::overrideCursor() == nullptr);
        form()->nx_copy->trigger();
        QVERIFY(canvas::copyState().copyMode);
        QVERIFY(QApplication::overrideCursor() != nullptr);
        QCOMPARE(nrbx::platform::currentAppCursor(), nrbx::platform::AppCursor::Drag);

        // The preview follows the pointer without a button held.
        QTest::mouseMove(form()->pcg_img, cellPoint(6, 9));
        QCOMPARE(canvas::selectionState().selection, (canvas::CellRect{6, 9, 7, 9}));
        QVERIFY(
            sameColor(viewPixel(6 * 16 + 8, 9 * 16 + 8), nrbx::test::renderedPixel(1 * 16 + 8, 1 * 16 + 8)));
        QCOMPARE(nrbx::data::patternState().grid, grid);

        QTest::mousePress(form()->pcg_img, Qt::LeftButton, {}, cellPoint(6, 9));
        QVERIFY(!canvas::copyState().copyMode);
        QVERIFY(QApplication::overrideCursor() == nullptr);
        const auto& placed = nrbx::data::patternState().grid;
        for (int y = 0; y < 16; ++y) {
            for (int x = 0; x < 32; ++x) QCOMPARE(placed(6 * 16 + x, 9 * 16 + y), grid(16 + x, 16 + y));
        }
        QCOMPARE(placed(8 * 16, 9 * 16), grid(8 * 16, 9 * 16));
        QTest::mouseRelease(form()->pcg_img, Qt::LeftButton, {}, cellPoint(6, 9));
        QCOMPARE(canvas::selectionState().selection, (canvas::CellRect{6, 9, 7, 9}));
        QVERIFY(sameColor(viewPixel(96, 144), Qt::black));
        QVERIFY(
            sameColor(viewPixel(6 * 16 + 8, 9 * 16 + 8), nrbx::test::renderedPixel(6 * 16 + 8, 9 * 16 + 8)));
    }

    void dragCursorIsAnArrowWithABoxTippedAtItsHotSpot() {
        const QCursor cursor = nrbx::platform::dragCursor();
        QCOMPARE(cursor.hotSpot(), QPoint(0, 0));
        const QImage bits = cursor.bitmap().toImage().convertToFormat(QImage::Format_RGB32);
        const QImage mask = cursor.mask().toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(bits.size(), QSize(32, 32));
        // In a cursor bitmap black (colour 1) is drawn black where the mask is set, else white.
        const auto drawn = [&](int x, int y) { return mask.pixelColor(x, y) == QColor(Qt::black); };
        const auto black = [&](int x, int y) {
            return drawn(x, y) && bits.pixelColor(x, y) == QColor(Qt::black);
        };
        const auto white = [&](int x, int y) {
            return drawn(x, y) && bits.pixelColor(x, y) == QColor(Qt::white);
        };
        QVERIFY(black(0, 0));   // the tip
        QVERIFY(black(0, 8));   // the outline of the arrow
        QVERIFY(white(1, 5));   // its inside
        QVERIFY(black(8, 19));  // the box's outline, below and right of the arrow
        QVERIFY(white(12, 23));
        QVERIFY(!drawn(31, 0));
        QVERIFY(!drawn(20, 5));
        QVERIFY(!drawn(31, 31));
    }

    void copyCancelRestoresTheCursorOnce() {
        form()->nx_copy->trigger();
        form()->nx_cpcansel->trigger();
        QVERIFY(QApplication::overrideCursor() == nullptr);
        form()->nx_copy->trigger();
        form()->nx_copy->trigger();  // a second request while the override is up stacks nothing
        form()->nx_cpcansel->trigger();
        QVERIFY(QApplication::overrideCursor() == nullptr);
    }

    void savesWriteTheChosenFilesThroughTheDialog() {
        loadPattern(samplePath("demo.pcg"));
        QTemporaryDir dir;
        const QString whole = dir.filePath("whole.bmp");
        dialogs().choose(whole, 1);
        form()->nx_save->trigger();
        const auto& request = dialogs().requests.last();
        QCOMPARE(request.kind, nrbx::platform::FileDialogKind::Save);
        QCOMPARE(request.title, QStringLiteral("画像の保存"));
        QCOMPARE(request.nameFilters,
                 QStringList({"ビットマップファイル(*.bmp) (*.bmp)", "２５６色ビットマップ (*.bmp)",
                              "１６色ビットマップ (*.bmp)"}));
        QCOMPARE(request.filterIndex, 1);
        QCOMPARE(request.defaultSuffix, QStringLiteral("bmp"));
        const QByteArray bytes = fileBytes(whole);
        QCOMPARE(bytes.size(), 196662);
        QCOMPARE(le32(bytes, 10), 54u);
        // Bottom row first, the backing image's own bytes: no frame.
        const auto& backing = canvas::imageState().backing;
        QVERIFY(std::equal(backing.row(255), backing.row(255) + 768,
                           reinterpret_cast<const std::uint8_t*>(bytes.data()) + 54));
        QVERIFY(std::equal(backing.row(0), backing.row(0) + 768,
                           reinterpret_cast<const std::uint8_t*>(bytes.data()) + 54 + 255 * 768));

        // The selection at 16 colours: the dialog offers the last name and type 1 again.
        clickCell(4, 2);
        const QString cell = dir.filePath("cell.bmp");
        dialogs().choose(cell, 3);
        form()->nx_selsave->trigger();
        QCOMPARE(dialogs().requests.last().title, QStringLiteral("選択範囲をＢＭＰ形式で保存"));
        QCOMPARE(dialogs().requests.last().fileName, whole);
        QCOMPARE(dialogs().requests.last().filterIndex, 1);
        QCOMPARE(fileBytes(cell).size(), 246);

        // 256 colours, whole picture; then a cancelled save writes nothing.
        const QString indexed = dir.filePath("indexed.bmp");
        dialogs().choose(indexed, 2);
        form()->nx_save->trigger();
        QCOMPARE(dialogs().requests.last().fileName, cell);
        QCOMPARE(fileBytes(indexed).size(), 66614);
        dialogs().cancel();
        form()->nx_selsave->trigger();
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 3);
        QVERIFY(program->boxes.shown.isEmpty());
    }

    void saveSelectionTakesTheSelectionOrdered() {
        loadPattern(samplePath("demo.pcg"));
        drag(cellPoint(5, 7), cellPoint(2, 3));
        QTemporaryDir dir;
        dialogs().choose(dir.filePath("sel.bmp"), 1);
        form()->nx_selsave->trigger();
        const QByteArray bytes = fileBytes(dir.filePath("sel.bmp"));
        QCOMPARE(bytes.size(), 54 + 64 * 80 * 3);
        QCOMPARE(le32(bytes, 18), 64u);
        QCOMPARE(le32(bytes, 22), 80u);
        // The first stored row is picture row 127, from pixel x = 32 on.
        const auto& backing = canvas::imageState().backing;
        QVERIFY(std::equal(backing.pixel(32, 127), backing.pixel(32, 127) + 64 * 3,
                           reinterpret_cast<const std::uint8_t*>(bytes.data()) + 54));
    }

    void saveThatCannotCreateTheFileReportsIt() {
        QTemporaryDir dir;
        const QString target = dir.filePath("no/such/folder/out.bmp");
        dialogs().choose(target, 1);
        form()->nx_save->trigger();
        QCOMPARE(program->boxes.shown.size(), 1);
        QCOMPARE(program->boxes.shown.at(0).text,
                 QStringLiteral("ファイル ") + target + QStringLiteral(" を作成できません."));
    }

    void realSaveDialogAppendsBmpAndReplacesWithoutAsking() {
        nrbx::platform::setFileDialogRunner(nullptr);
        QTemporaryDir dir;
        QFile old(dir.filePath("picture.bmp"));
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old");
        old.close();
        QString title, filter;
        bool answered = false;
        answerRealDialog(answered, [&](QFileDialog* dialog) {
            title = dialog->windowTitle();
            filter = dialog->selectedNameFilter();
            dialog->setDirectory(dir.path());
            dialog->selectFile(QStringLiteral("picture"));
        });
        form()->nx_save->trigger();
        QVERIFY(answered);
        QCOMPARE(title, QStringLiteral("画像の保存"));
        // The user sees the descriptions alone.
        QCOMPARE(filter, QStringLiteral("ビットマップファイル(*.bmp)"));
        QCOMPARE(QFileInfo(dir.filePath("picture.bmp")).size(), 196662);
        QCOMPARE(form()->SaveDialog1->fileName(), dir.filePath("picture.bmp"));

        // Next time: the last name offered, type 1 selected; the 256-colour type chosen.
        QString offered;
        answerRealDialog(answered, [&](QFileDialog* dialog) {
            offered = dialog->selectedFiles().value(0);
            filter = dialog->selectedNameFilter();
            dialog->selectNameFilter(QStringLiteral("２５６色ビットマップ (*.bmp)"));
        });
        form()->nx_save->trigger();
        QVERIFY(answered);
        QCOMPARE(offered, dir.filePath("picture.bmp"));
        QCOMPARE(filter, QStringLiteral("ビットマップファイル(*.bmp)"));
        QCOMPARE(QFileInfo(dir.filePath("picture.bmp")).size(), 66614);
    }

    void realDialogListsFilesInJapaneseWhateverTheSystemLanguage() {
        nrbx::platform::setFileDialogRunner(nullptr);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder")));
        QFile file(dir.filePath(QStringLiteral("data.pcg")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(32768, '\0'));
        file.close();
        const QLocale japanese(QLocale::Japanese, QLocale::Japan);
        QStringList folderRow, fileRow;
        bool answered = false;
        answerRealDialog(answered, [&](QFileDialog* dialog) {
            dialog->setDirectory(dir.path());
            auto* files = qobject_cast<QFileSystemModel*>(dialog->proxyModel()->sourceModel());
            const auto row = [&](const QString& name) {
                const QModelIndex at = dialog->proxyModel()->mapFromSource(files->index(dir.filePath(name)));
                QStringList texts;
                for (int column = 0; column < 4; ++column)
                    texts << dialog->proxyModel()->index(at.row(), column, at.parent()).data().toString();
                return texts;
            };
            if (!QTest::qWaitFor([&] { return !row(QStringLiteral("folder")).at(2).isEmpty(); }, 3000))
                return;
            folderRow = row(QStringLiteral("folder"));
            fileRow = row(QStringLiteral("data.pcg"));
            dialog->selectFile(file.fileName());
        });
        form()->nx_pcgload->trigger();
        QVERIFY(answered);
        QCOMPARE(folderRow.size(), 4);
        QCOMPARE(folderRow.at(2), QStringLiteral("フォルダ"));
        QCOMPARE(fileRow.at(1), japanese.formattedDataSize(32768));
        QCOMPARE(fileRow.at(3),
                 japanese.toString(QFileInfo(file.fileName()).lastModified(), QLocale::ShortFormat));
        QVERIFY(fileRow.at(3).contains(QLatin1Char('/')));
        // The default locale is the program's own again once the dialog has closed.
        QCOMPARE(QLocale().name(), QLocale::system().name());
    }

    void realOpenDialogAcceptsANameThatDoesNotExist() {
        nrbx::platform::setFileDialogRunner(nullptr);
        QTemporaryDir dir;
        QString filter;
        bool answered = false;
        answerRealDialog(answered, [&](QFileDialog* dialog) {
            filter = dialog->selectedNameFilter();
            dialog->setDirectory(dir.path());
            dialog->selectFile(QStringLiteral("missing.pcg"));
        });
        form()->nx_pcgload->trigger();
        QVERIFY(answered);
        QCOMPARE(filter, QStringLiteral("ＰＣＧファイル(*.pcg,*.pat,*.dat)"));
        QCOMPARE(program->boxes.shown.size(), 1);
        QVERIFY(program->boxes.shown.at(0).text.endsWith(QStringLiteral("missing.pcg は開けません.")));
    }

    void maximisingStretchesTheLineUnderTheMenuBar() {
        form()->showMaximized();
        QTRY_VERIFY(form()->width() > 473);
        QCOMPARE(form()->Bevel2->width(), form()->clientWidth());
        QCOMPARE(form()->Bevel2->pos(), QPoint(8, 0));
        QCOMPARE(form()->pcg_img->geometry(), QRect(176, 8, 256, 256));
        QCOMPARE(form()->stbar->geometry().bottom(), form()->height() - 1);
        QCOMPARE(form()->stbar->width(), form()->width());
        form()->showNormal();
        QTRY_COMPARE(form()->width(), 473);
        QCOMPARE(form()->Bevel2->width(), 473);
    }

    void eventsAfterTheCloseStillFindThePicture() {
        loadPattern(samplePath("demo.pcg"));
        form()->close();
        QVERIFY(!form()->isVisible());
        QTest::mouseMove(form()->pcg_img, cellPoint(3, 3));
        QTest::mouseRelease(form()->pcg_img, Qt::LeftButton, {}, cellPoint(3, 3));
        QVERIFY(sameColor(viewPixel(0, 0), Qt::black));
    }

    void exitClosesTheWindowAndEndsTheEventLoopWithStatusZero() {
        form()->nx_copy->trigger();
        QVERIFY(openWithAccessKey(Qt::Key_F, form()->nx_file));
        QTest::keyClick(form()->nx_file, Qt::Key_E);
        QTRY_VERIFY(!form()->isVisible());
        QVERIFY(program->boxes.shown.isEmpty());
        QTimer::singleShot(5000, [] { QCoreApplication::exit(99); });
        QCOMPARE(QCoreApplication::exec(), 0);
    }
};

QTEST_MAIN(WindowTest)
#include "window_test.moc"
