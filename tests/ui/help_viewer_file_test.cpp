// What the help viewer makes of a help file that is not an ordinary file of ordinary size: it reports it in
// its own window instead of hanging on a FIFO or reading a device or a huge file into memory.

#include "platform/qt/help_viewer.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

using nrbx::platform::callHelpViewer;
using nrbx::platform::HelpCommand;
using nrbx::platform::helpViewerWindow;

namespace {

QString shownText() {
    QWidget* viewer = helpViewerWindow();
    auto* text = viewer != nullptr ? viewer->findChild<QTextBrowser*>("text") : nullptr;
    return text != nullptr ? text->toPlainText() : QString();
}

}  // namespace

class HelpViewerFileTest : public QObject {
    Q_OBJECT

  private slots:
    void init() { nrbx::platform::resetHelpViewerState(); }
    void cleanup() {
        ::alarm(0);
        nrbx::platform::resetHelpViewerState();
    }

    void specialFilesAreReportedWithoutBeingRead_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("FIFO without a writer") << "fifo";
        QTest::newRow("device") << "device";
        QTest::newRow("regular file over the size limit") << "huge";
    }

    void specialFilesAreReportedWithoutBeingRead() {
        QFETCH(QString, kind);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath("nrbx.hlp");
        if (kind == "fifo") {
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        } else if (kind == "device") {
            QVERIFY(QFile::link("/dev/null", path));
        } else {
            QFile huge(path);
            QVERIFY(huge.open(QIODevice::WriteOnly));
            QVERIFY(huge.resize(8LL * 1024 * 1024));  // sparse: takes no room on disk
        }
        ::alarm(20);  // a viewer that blocks fails the run instead of hanging it
        QVERIFY_THROWS_NO_EXCEPTION(callHelpViewer(nullptr, path.toStdString(), HelpCommand::Finder, 0));
        ::alarm(0);

        QVERIFY(helpViewerWindow() != nullptr && helpViewerWindow()->isVisible());
        const QString shown = shownText();
        QVERIFY2(shown.contains(path), qPrintable(shown));
        QVERIFY2(shown.contains(QStringLiteral("ヘルプを表示できません")), qPrintable(shown));
        for (QWidget* w : QApplication::topLevelWidgets()) QVERIFY(qobject_cast<QMessageBox*>(w) == nullptr);
    }
};

QTEST_MAIN(HelpViewerFileTest)
#include "help_viewer_file_test.moc"
