// The help command and the help viewer: the path beside the executable or where it is installed, the calls
// the viewer receives, and what the real viewer shows for the help file and for a file it cannot read.

#include "platform/path.h"
#include "platform/qt/help_viewer.h"
#include "ui/ap.h"
#include "ui/shell_state.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QtTest>

#include <string>
#include <vector>

using nrbx::platform::callHelpViewer;
using nrbx::platform::HelpCall;
using nrbx::platform::HelpCommand;
using nrbx::platform::helpViewerWindow;

namespace {

QTextBrowser* viewerText() {
    QWidget* viewer = helpViewerWindow();
    return viewer != nullptr ? viewer->findChild<QTextBrowser*>("text") : nullptr;
}

QTreeWidget* viewerContents() {
    QWidget* viewer = helpViewerWindow();
    return viewer != nullptr ? viewer->findChild<QTreeWidget*>("contents") : nullptr;
}

QStringList contentsTitles() {
    QStringList titles;
    for (QTreeWidgetItemIterator it(viewerContents()); *it; ++it) titles << (*it)->text(0);
    return titles;
}

bool anyMessageBox() {
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget* w : windows)
        if (qobject_cast<QMessageBox*>(w) != nullptr) return true;
    return false;
}

// The help file the build puts beside the executables, the test programs among them.
std::string installedHelpFile() {
    return QDir(QCoreApplication::applicationDirPath()).filePath("nrbx.hlp").toStdString();
}

}  // namespace

class HelpTest : public QObject {
    Q_OBJECT

  private slots:
    void init() {
        nrbx::ui::resetShellState();
        nrbx::platform::resetHelpViewerState();
        m_calls.clear();
    }

    void cleanup() { nrbx::platform::resetHelpViewerState(); }

    void helpPathIsBesideTheExecutableWhenThereElseTheInstalledPlace() {
        using nrbx::ui::helpFilePathFor;
        // No file beside these executables: the installed place, built from the executable's directory.
        QCOMPARE(helpFilePathFor("/opt/nrbx/bin"), std::string("/opt/nrbx/bin/../share/nrbx/nrbx.hlp"));
        QCOMPARE(helpFilePathFor("/usr/local/lib/ノルバクス"),
                 std::string("/usr/local/lib/ノルバクス/../share/nrbx/nrbx.hlp"));
        // An executable in the root: one separator, not two.
        QCOMPARE(helpFilePathFor("/"), std::string("/../share/nrbx/nrbx.hlp"));
        using nrbx::platform::ExtractDirectory;
        QCOMPARE(helpFilePathFor(ExtractDirectory("/opt/nrbx/bin/nrbx")),
                 std::string("/opt/nrbx/bin/../share/nrbx/nrbx.hlp"));

        // A file beside the executable wins over an installed one; a folder of that name is no file.
        QTemporaryDir root;
        QVERIFY(QDir(root.path()).mkpath("bin") && QDir(root.path()).mkpath("share/nrbx"));
        const std::string bin = root.filePath("bin").toStdString();
        const std::string installed = bin + "/../share/nrbx/nrbx.hlp";
        QVERIFY(QFile(root.filePath("share/nrbx/nrbx.hlp")).open(QIODevice::WriteOnly));
        QCOMPARE(helpFilePathFor(bin), installed);
        QVERIFY(QDir(root.path()).mkpath("bin/nrbx.hlp"));
        QCOMPARE(helpFilePathFor(bin), installed);
        QVERIFY(QDir(root.path()).rmdir("bin/nrbx.hlp"));
        QVERIFY(QFile(root.filePath("bin/nrbx.hlp")).open(QIODevice::WriteOnly));
        QCOMPARE(helpFilePathFor(bin), bin + "/nrbx.hlp");
        QCOMPARE(helpFilePathFor(bin + "/"), bin + "/nrbx.hlp");
    }

    void startUpHelpPathIsTheInstalledHelpFile() {
        // Context help before the help command hands the viewer this path: where the install puts it.
        const QString path = QString::fromUtf8(nrbx::ui::kStartupHelpPath);
        QVERIFY2(QDir::isAbsolutePath(path) && path.endsWith(QStringLiteral("/share/nrbx/nrbx.hlp")),
                 qPrintable(path));
    }

    void helpCommandAsksTheViewerForTheContentsOfTheHelpFile() {
        record();
        QWidget owner;
        nrbx::ui::setExecutableDirectory("/opt/nrbx/bin");
        QCOMPARE(nrbx::ui::shellState().helpFilePath, std::string(nrbx::ui::kStartupHelpPath));

        nrbx::ui::openHelpContents(&owner);
        const std::string expected = "/opt/nrbx/bin/../share/nrbx/nrbx.hlp";
        QCOMPARE(nrbx::ui::shellState().helpFilePath, expected);
        QCOMPARE(m_calls.size(), std::size_t{1});
        QCOMPARE(m_calls[0].owner, &owner);
        QCOMPARE(m_calls[0].helpFile, expected);
        QCOMPARE(m_calls[0].command, HelpCommand::Finder);
        QCOMPARE(m_calls[0].data, 0ul);
        QVERIFY(helpViewerWindow() == nullptr);  // the seam stood in for the real viewer
    }

    void seamReceivesEveryCommandWithItsArguments() {
        record();
        QWidget owner;
        callHelpViewer(&owner, "/a/nrbx.hlp", HelpCommand::Context, 0);
        callHelpViewer(&owner, "/a/nrbx.hlp", HelpCommand::Finder, 0);
        callHelpViewer(nullptr, "/b/nrbx.hlp", HelpCommand::Quit, 0);
        QCOMPARE(m_calls.size(), std::size_t{3});
        QCOMPARE(m_calls[0].command, HelpCommand::Context);
        QCOMPARE(m_calls[1].command, HelpCommand::Finder);
        QCOMPARE(m_calls[2].command, HelpCommand::Quit);
        QCOMPARE(m_calls[2].owner, nullptr);
        QCOMPARE(m_calls[2].helpFile, std::string("/b/nrbx.hlp"));
        // The numbers the commands stand for.
        QCOMPARE(static_cast<int>(HelpCommand::Context), 1);
        QCOMPARE(static_cast<int>(HelpCommand::Quit), 2);
        QCOMPARE(static_cast<int>(HelpCommand::Finder), 11);
    }

    void missingHelpFileStillCallsTheViewer() {
        record();
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        nrbx::ui::setExecutableDirectory(dir.path().toStdString());
        nrbx::ui::openHelpContents(nullptr);
        QCOMPARE(m_calls.size(), std::size_t{1});
        QCOMPARE(m_calls[0].helpFile, dir.filePath("../share/nrbx/nrbx.hlp").toStdString());
        QVERIFY(!QFileInfo::exists(QString::fromStdString(m_calls[0].helpFile)));
    }

    void viewerReportsAMissingFileInItsOwnWindowAndTheProgramGoesOn() {
        QTemporaryDir dir;
        nrbx::ui::setExecutableDirectory(dir.path().toStdString());
        QWidget owner;
        owner.show();
        QVERIFY_THROWS_NO_EXCEPTION(nrbx::ui::openHelpContents(&owner));

        QVERIFY(helpViewerWindow() != nullptr);
        QVERIFY(helpViewerWindow()->isVisible());
        QVERIFY(helpViewerWindow() != &owner && helpViewerWindow()->isWindow());
        const QString shown = viewerText()->toPlainText();
        QVERIFY2(shown.contains(dir.filePath("../share/nrbx/nrbx.hlp")), qPrintable(shown));
        QVERIFY2(shown.contains(QStringLiteral("見つかりません")), qPrintable(shown));
        QVERIFY(contentsTitles().isEmpty());
        QVERIFY(!anyMessageBox());

        // The program goes on: the owner still works, and the help command can run again.
        QVERIFY(owner.isVisible() && owner.isEnabled());
        QVERIFY_THROWS_NO_EXCEPTION(nrbx::ui::openHelpContents(&owner));
        QVERIFY(!anyMessageBox());
    }

    void viewerReportsAFileItCannotRead() {
        QTemporaryDir dir;
        const QString path = dir.filePath("nrbx.hlp");
        QVERIFY(QDir().mkdir(path));  // a folder in place of the file cannot be read, even as root
        QVERIFY_THROWS_NO_EXCEPTION(callHelpViewer(nullptr, path.toStdString(), HelpCommand::Finder, 0));
        const QString shown = viewerText()->toPlainText();
        QVERIFY2(shown.contains(path), qPrintable(shown));
        QVERIFY2(shown.contains(QStringLiteral("開けません")), qPrintable(shown));
        QVERIFY(!anyMessageBox());
    }

    void viewerShowsTheHelpFileWithItsContents() {
        // Start-up's way to the executable's directory, then the help command.
        nrbx::ui::setExecutableDirectory(nrbx::platform::ExtractDirectory(nrbx::platform::executablePath()));
        QVERIFY2(QFileInfo::exists(QString::fromStdString(installedHelpFile())),
                 "the build did not copy the help file");
        nrbx::ui::openHelpContents(nullptr);

        QWidget* viewer = helpViewerWindow();
        QVERIFY(viewer != nullptr && viewer->isVisible());
        QCOMPARE(viewer->windowTitle(), QStringLiteral("ノルバクス ヘルプ"));
        const QStringList titles = contentsTitles();
        for (const char* topic : {"ノルバクスについて", "ファイルの読み込み", "パレットブロック",
                                  "セルの選択", "セルのコピーと配置", "ＢＭＰ形式で保存",
                                  "メニューとアクセスキー", "ＰＣＧファイル（スプライトパターン）",
                                  "パレットファイル", "コマンドラインの変換プログラム nrbx-export"})
            QVERIFY2(titles.contains(QString::fromUtf8(topic)), topic);
        QCOMPARE(titles.first(), QStringLiteral("ノルバクスについて"));

        const QString text = viewerText()->toPlainText();
        QVERIFY(text.contains(QStringLiteral("パレットが未定義です。（デフォルトパレットで代用表示中）")));
        QVERIFY(text.contains(QStringLiteral("G G G G G R R R R R B B B B B I")));
        QVERIFY(text.contains(QStringLiteral("--indexed nearest|sprite")));
        // Finder opens at the top of the text, with the contents list to choose from.
        QCOMPARE(viewerText()->verticalScrollBar()->value(), 0);
        QCOMPARE(viewerContents()->currentItem()->text(0), QStringLiteral("ノルバクスについて"));
    }

    void contentsEntryAndContextNumberShowTheirTopic() {
        callHelpViewer(nullptr, installedHelpFile(), HelpCommand::Finder, 0);
        QTreeWidget* contents = viewerContents();
        QTextBrowser* text = viewerText();
        QVERIFY(contents != nullptr && text != nullptr);

        // Choosing a later entry brings its heading to the top of the text.
        QTreeWidgetItem* last = contents->topLevelItem(contents->topLevelItemCount() - 1);
        QTest::mouseClick(contents->viewport(), Qt::LeftButton, {}, contents->visualItemRect(last).center());
        QCOMPARE(text->textCursor().block().text().trimmed(), last->text(0));
        QVERIFY(text->verticalScrollBar()->value() > 0);

        // Context 0 is the first topic; a number without a topic also shows the first.
        callHelpViewer(nullptr, installedHelpFile(), HelpCommand::Context, 0);
        QCOMPARE(text->textCursor().block().text().trimmed(), QStringLiteral("ノルバクスについて"));
        QCOMPARE(contents->currentItem()->text(0), QStringLiteral("ノルバクスについて"));
        callHelpViewer(nullptr, installedHelpFile(), HelpCommand::Context, 2);
        QCOMPARE(text->textCursor().block().text().trimmed(), contentsTitles().at(2));
        callHelpViewer(nullptr, installedHelpFile(), HelpCommand::Context, 100000);
        QCOMPARE(text->textCursor().block().text().trimmed(), QStringLiteral("ノルバクスについて"));
        QCOMPARE(QApplication::topLevelWidgets().count(helpViewerWindow()), 1);
    }

    void quitClosesTheViewerAndIsHarmlessWithoutOne() {
        QVERIFY_THROWS_NO_EXCEPTION(callHelpViewer(nullptr, installedHelpFile(), HelpCommand::Quit, 0));
        QVERIFY(helpViewerWindow() == nullptr);

        callHelpViewer(nullptr, installedHelpFile(), HelpCommand::Finder, 0);
        QVERIFY(helpViewerWindow() != nullptr);
        callHelpViewer(nullptr, installedHelpFile(), HelpCommand::Quit, 0);
        QVERIFY(helpViewerWindow() == nullptr);
        QCOMPARE(QApplication::topLevelWidgets().size(), 0);

        // The user closing the viewer is the same as far as the program is concerned.
        callHelpViewer(nullptr, installedHelpFile(), HelpCommand::Finder, 0);
        QVERIFY(helpViewerWindow()->close());
        QTRY_VERIFY(helpViewerWindow() == nullptr);
        QVERIFY_THROWS_NO_EXCEPTION(callHelpViewer(nullptr, installedHelpFile(), HelpCommand::Quit, 0));
    }

  private:
    void record() {
        nrbx::platform::setHelpViewerHandler([this](const HelpCall& call) { m_calls.push_back(call); });
    }

    std::vector<HelpCall> m_calls;
};

QTEST_MAIN(HelpTest)
#include "help_test.moc"
