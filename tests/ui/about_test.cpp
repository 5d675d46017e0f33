// The about window: its layout, the version line at every activation, showing and hiding, the link.

#include "platform/qt/link_opener.h"
#include "platform/qt/locale_settings.h"
#include "ui/ap.h"
#include "ui/shell_state.h"
#include "ui/version_text.h"

#include <QApplication>
#include <QFrame>
#include <QImage>
#include <QLabel>
#include <QPointer>
#include <QSet>
#include <QtTest>

#include <memory>
#include <string>
#include <vector>

using nrbx::ui::Tap_fm;

namespace {

// The 16 colours the icon may use.
const QSet<QRgb> kSixteenColours = {
    qRgb(0, 0, 0),       qRgb(128, 0, 0),   qRgb(0, 128, 0),   qRgb(128, 128, 0),
    qRgb(0, 0, 128),     qRgb(128, 0, 128), qRgb(0, 128, 128), qRgb(128, 128, 128),
    qRgb(192, 192, 192), qRgb(255, 0, 0),   qRgb(0, 255, 0),   qRgb(255, 255, 0),
    qRgb(0, 0, 255),     qRgb(255, 0, 255), qRgb(0, 255, 255), qRgb(255, 255, 255),
};

bool activate(QWidget& window) {
    window.show();
    window.raise();
    window.activateWindow();
    return QTest::qWaitForWindowActive(&window);
}

int visibleAboutWindows() {
    int count = 0;
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget* w : windows)
        if (qobject_cast<Tap_fm*>(w) != nullptr && w->isVisible()) ++count;
    return count;
}

}  // namespace

class AboutTest : public QObject {
    Q_OBJECT

  private slots:
    void init() {
        nrbx::ui::resetShellState();
        nrbx::ui::setVersionValue(0.2);
        nrbx::platform::resetLocaleState();
        nrbx::platform::setDecimalSeparatorSource([] { return std::string("."); });
        nrbx::platform::resetLinkOpenerState();
        m_opened.clear();
        nrbx::platform::setLinkOpener([this](const std::string& address) { m_opened.push_back(address); });
        m_about = std::make_unique<Tap_fm>();
    }

    void cleanup() {
        m_about.reset();
        nrbx::platform::resetLinkOpenerState();
        nrbx::platform::resetLocaleState();
    }

    void versionText_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("separator");
        QTest::addColumn<QString>("expected");
        QTest::newRow("program version, point") << 0.2 << "."
                                                << "Version 0.20";
        QTest::newRow("program version, comma") << 0.2 << ","
                                                << "Version 0,20";
        QTest::newRow("zero") << 0.0 << "."
                              << "Version 0.00";
        QTest::newRow("leading digit kept") << 0.05 << "."
                                            << "Version 0.05";
        QTest::newRow("half rounds up") << 0.125 << "."
                                        << "Version 0.13";
        QTest::newRow("decimal half rounds up") << 0.145 << "."
                                                << "Version 0.15";
        QTest::newRow("below half rounds down") << 0.124 << "."
                                                << "Version 0.12";
        QTest::newRow("smallest that shows") << 0.005 << "."
                                             << "Version 0.01";
        QTest::newRow("too small to show") << 0.004 << "."
                                           << "Version 0.00";
        QTest::newRow("carry into the units") << 9.999 << "."
                                              << "Version 10.00";
        QTest::newRow("several integer digits") << 1234.5 << "."
                                                << "Version 1234.50";
        QTest::newRow("negative") << -1.5 << "."
                                  << "Version -1.50";
        QTest::newRow("negative rounding to zero has no sign") << -0.001 << "."
                                                               << "Version 0.00";
        QTest::newRow("longer separator") << 2.0 << "<>"
                                          << "Version 2<>00";
    }
    void versionText() {
        QFETCH(double, value);
        QFETCH(QString, separator);
        QFETCH(QString, expected);
        QCOMPARE(QString::fromStdString(nrbx::ui::versionText(value, separator.toStdString())), expected);
    }

    void windowHasItsDesignedFrameSizeAndPlace() {
        Tap_fm& ap = *m_about;
        QVERIFY(ap.isWindow());
        QVERIFY(ap.parentWidget() == nullptr);
        QVERIFY(!ap.isVisible());
        QCOMPARE(ap.windowTitle(), QStringLiteral("アプリケーション情報"));
        QCOMPARE(ap.size(), QSize(256, 197));
        QCOMPARE(ap.minimumSize(), QSize(256, 197));
        QCOMPARE(ap.maximumSize(), QSize(256, 197));
        QCOMPARE(ap.pos(), QPoint(348, 200));
        const Qt::WindowFlags flags = ap.windowFlags();
        QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
        QVERIFY(flags.testFlag(Qt::WindowSystemMenuHint));
        QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
        // Closing it must not end the program.
        QVERIFY(!ap.testAttribute(Qt::WA_QuitOnClose));
        QVERIFY(!ap.testAttribute(Qt::WA_DeleteOnClose));
        QCOMPARE(ap.font().pixelSize(), 12);
    }

    void controlsShowIconNameCopyrightAndLink() {
        Tap_fm& ap = *m_about;
        QCOMPARE(ap.Bevel1->geometry(), QRect(8, 16, 65, 57));
        QCOMPARE(ap.Bevel1->frameShadow(), QFrame::Sunken);
        QCOMPARE(ap.Image1->geometry(), QRect(16, 20, 49, 45));
        // The icon lies over the bevel that frames it.
        QVERIFY(ap.children().indexOf(ap.Bevel1) < ap.children().indexOf(ap.Image1));

        QCOMPARE(ap.Label1->text(), QStringLiteral("ノルバクス"));
        QCOMPARE(ap.Label1->pos(), QPoint(88, 24));
        QCOMPARE(ap.Label1->font().pixelSize(), 16);
        QVERIFY(ap.Label1->font().italic());

        QCOMPARE(ap.Label2->pos(), QPoint(112, 48));
        QCOMPARE(ap.Label2->font().pixelSize(), 16);
        QVERIFY(!ap.Label2->font().italic());

        QCOMPARE(ap.Label3->text(), QString::fromUtf8(nrbx::ui::kCopyrightLine));
        QCOMPARE(ap.Label3->pos(), QPoint(32, 92));
        QCOMPARE(ap.Label3->font().pixelSize(), 12);

        QCOMPARE(ap.lb_hlink->text(), QString::fromUtf8(nrbx::ui::kMakerAddress));
        QCOMPARE(ap.lb_hlink->pos(), QPoint(32, 128));
        QCOMPARE(ap.lb_hlink->font().pixelSize(), 13);
        QVERIFY(ap.lb_hlink->font().underline());
        QCOMPARE(ap.lb_hlink->cursor().shape(), Qt::PointingHandCursor);
        // Window-text colour, not a link colour: plain text drawn with the label's own palette.
        QCOMPARE(ap.lb_hlink->textFormat(), Qt::PlainText);
        QCOMPARE(ap.lb_hlink->palette().color(QPalette::WindowText),
                 ap.palette().color(QPalette::WindowText));

        // Labels size themselves to their text.
        for (QLabel* label : {ap.Label1, ap.Label2, ap.Label3, ap.lb_hlink})
            QCOMPARE(label->size(), label->sizeHint());
    }

    void iconIsThirtyTwoPixelsInSixteenColoursCentredAndUnscaled() {
        const QImage icon(QString::fromLatin1(nrbx::ui::kIconResource));
        QVERIFY2(!icon.isNull(), "the icon resource is not linked in");
        QCOMPARE(icon.size(), QSize(32, 32));
        QCOMPARE(icon.format(), QImage::Format_Indexed8);
        QVERIFY(icon.colorCount() <= 16);
        QSet<QRgb> used;
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x) used.insert(icon.pixel(x, y) | 0xFF000000u);
        QVERIFY(used.size() > 4);
        for (QRgb colour : used)
            QVERIFY2(kSixteenColours.contains(colour), qPrintable(QString::number(colour, 16)));

        QVERIFY(!nrbx::ui::applicationIcon().isNull());
        const QPixmap shown = m_about->Image1->pixmap();
        QCOMPARE(shown.size(), QSize(32, 32));
        QCOMPARE(shown.toImage().convertToFormat(QImage::Format_RGB32),
                 icon.convertToFormat(QImage::Format_RGB32));
        QVERIFY(!m_about->Image1->hasScaledContents());
        QCOMPARE(m_about->Image1->alignment(), Qt::AlignCenter);
    }

    void showingTwiceLeavesOneWindowInFront() {
        Tap_fm& ap = *m_about;
        QWidget other;
        other.setWindowTitle("other");
        ap.showInFront();
        QVERIFY(QTest::qWaitForWindowActive(&ap));
        QVERIFY(activate(other));
        QCOMPARE(QApplication::activeWindow(), &other);

        ap.showInFront();
        QVERIFY(QTest::qWaitForWindowActive(&ap));
        ap.showInFront();
        QVERIFY(QTest::qWaitForWindowActive(&ap));
        QCOMPARE(visibleAboutWindows(), 1);
        QCOMPARE(QApplication::activeWindow(), &ap);
        QCOMPARE(ap.Label2->text(), QStringLiteral("Version 0.20"));
    }

    void everyActivationSetsTheVersionLabel() {
        Tap_fm& ap = *m_about;
        QCOMPARE(ap.Label2->text(), QStringLiteral("Label2"));
        ap.showInFront();
        QVERIFY(QTest::qWaitForWindowActive(&ap));
        QCOMPARE(ap.Label2->text(), QStringLiteral("Version 0.20"));
        QCOMPARE(ap.Label2->size(), ap.Label2->sizeHint());

        // Switching away and back sets the label anew.
        ap.Label2->setText("stale");
        QWidget other;
        QVERIFY(activate(other));
        QCOMPARE(ap.Label2->text(), QStringLiteral("stale"));
        QVERIFY(activate(ap));
        QCOMPARE(ap.Label2->text(), QStringLiteral("Version 0.20"));
    }

    void versionLabelUsesTheLocaleSeparatorReadAgainOnALocaleChange() {
        Tap_fm& ap = *m_about;
        nrbx::platform::setDecimalSeparatorSource([] { return std::string(","); });
        ap.showInFront();
        QVERIFY(QTest::qWaitForWindowActive(&ap));
        QCOMPARE(ap.Label2->text(), QStringLiteral("Version 0,20"));

        // The user switches locale while the window is shown: Qt tells the application, the label follows.
        nrbx::platform::setDecimalSeparatorSource([] { return std::string("."); });
        QEvent change(QEvent::LocaleChange);
        QCoreApplication::sendEvent(qApp, &change);
        QCOMPARE(ap.Label2->text(), QStringLiteral("Version 0.20"));

        // And while it is hidden: the next showing has the new separator.
        ap.close();
        nrbx::platform::setDecimalSeparatorSource([] { return std::string(","); });
        QCoreApplication::sendEvent(qApp, &change);
        ap.showInFront();
        QVERIFY(QTest::qWaitForWindowActive(&ap));
        QCOMPARE(ap.Label2->text(), QStringLiteral("Version 0,20"));
    }

    void aLocaleWithoutASeparatorGivesAPoint() {
        nrbx::platform::setDecimalSeparatorSource([] { return std::string(); });
        nrbx::platform::readLocaleSettings();
        QCOMPARE(nrbx::platform::decimalSeparator(), std::string("."));
        m_about->showInFront();
        QVERIFY(QTest::qWaitForWindowActive(m_about.get()));
        QCOMPARE(m_about->Label2->text(), QStringLiteral("Version 0.20"));
    }

    void closingHidesAndReopeningKeepsThePlace() {
        Tap_fm& ap = *m_about;
        QPointer<Tap_fm> alive(&ap);
        ap.showInFront();
        QVERIFY(QTest::qWaitForWindowActive(&ap));
        QCOMPARE(ap.pos(), QPoint(348, 200));
        ap.move(410, 260);  // the user drags it elsewhere
        QTRY_COMPARE(ap.pos(), QPoint(410, 260));

        QVERIFY(ap.close());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(alive);
        QVERIFY(!ap.isVisible());
        QCOMPARE(visibleAboutWindows(), 0);

        ap.showInFront();
        QVERIFY(QTest::qWaitForWindowActive(&ap));
        QCOMPARE(ap.pos(), QPoint(410, 260));
        QCOMPARE(ap.size(), QSize(256, 197));
        QCOMPARE(visibleAboutWindows(), 1);
    }

    void clickOnTheLinkOpensTheMakersAddress() {
        Tap_fm& ap = *m_about;
        ap.showInFront();
        QVERIFY(QTest::qWaitForWindowActive(&ap));

        QTest::mouseClick(ap.lb_hlink, Qt::RightButton);
        QTest::mouseClick(ap.Label3, Qt::LeftButton);
        QVERIFY(m_opened.empty());

        QTest::mouseClick(ap.lb_hlink, Qt::LeftButton);
        QCOMPARE(m_opened.size(), std::size_t{1});
        QCOMPARE(m_opened.front(), std::string(nrbx::ui::kMakerAddress));
        QVERIFY(QString::fromUtf8(nrbx::ui::kMakerAddress).startsWith("https://"));
        // Nothing else happens: no other window appears, the about window stays as it was.
        QVERIFY(ap.isVisible());
        QCOMPARE(QApplication::topLevelWidgets().size(), 1);
    }

  private:
    std::unique_ptr<Tap_fm> m_about;
    std::vector<std::string> m_opened;
};

QTEST_MAIN(AboutTest)
#include "about_test.moc"
