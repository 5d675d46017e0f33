#include "ui/ap.h"

#include "platform/qt/fonts.h"
#include "platform/qt/help_viewer.h"
#include "platform/qt/link_opener.h"
#include "platform/qt/locale_settings.h"
#include "platform/qt/title_strip.h"
#include "platform/qt/window_hints.h"
#include "ui/shell_state.h"
#include "ui/version_text.h"

#include <QEvent>
#include <QFrame>
#include <QIcon>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <filesystem>
#include <system_error>

// The icon's resource lives in this static library; nothing else refers to it, so register it by hand.
static void initNrbxResources() {
    Q_INIT_RESOURCE(nrbx);
}

namespace nrbx::ui {

Tap_fm* ap_fm = nullptr;

namespace {

QPixmap iconPixmap() {
    initNrbxResources();
    return QPixmap(QString::fromLatin1(kIconResource));
}

QLabel* makeLabel(QWidget* parent, const QString& text, int left, int top, const QFont& font) {
    auto* label = new QLabel(text, parent);
    label->setFont(font);
    label->setTextFormat(Qt::PlainText);
    label->move(left, top);
    label->adjustSize();
    return label;
}

}  // namespace

QIcon applicationIcon() {
    return QIcon(iconPixmap());
}

std::string helpFilePathFor(std::string_view executableDirectory) {
    std::string folder(executableDirectory);
    // One separator between folder and file name: the root "/" gives "/nrbx.hlp", and a folder that
    // already ends in "/" gets no second one.
    if (folder.empty() || folder.back() != '/') folder += '/';
    const std::string beside = folder + kHelpFileName;
    // A build folder has the file beside the executable; an installed program keeps data files out of
    // the executables' folder, so it looks where the install rules put it.
    std::error_code ignored;
    if (std::filesystem::is_regular_file(beside, ignored)) return beside;
    return folder + kHelpFolderFromExecutable + '/' + kHelpFileName;
}

void openHelpContents(QWidget* owner) {
    setHelpFilePath(helpFilePathFor(shellState().executableDirectory));
    platform::callHelpViewer(owner, shellState().helpFilePath, platform::HelpCommand::Finder, 0);
}

Tap_fm::Tap_fm()
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowCloseButtonHint) {
    setWindowTitle(QString::fromUtf8(kAboutCaption));
    setWindowIcon(applicationIcon());
    setFixedSize(256, 197);
    move(348, 200);
    // Closing the about window never decides whether the program goes on.
    setAttribute(Qt::WA_QuitOnClose, false);
    setBackgroundRole(QPalette::Button);
    setAutoFillBackground(true);
    setFont(platform::designFont(12));

    // Created bottom to top: the bevel lies beneath the icon.
    Bevel1 = new QFrame(this);
    Bevel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Bevel1->setLineWidth(1);
    Bevel1->setGeometry(8, 16, 65, 57);

    Label1 = makeLabel(this, QStringLiteral("ノルバクス"), 88, 24, platform::designFont(16, true));

    Image1 = new QLabel(this);
    Image1->setGeometry(16, 20, 49, 45);
    Image1->setAlignment(Qt::AlignCenter);
    Image1->setScaledContents(false);
    Image1->setPixmap(iconPixmap());

    Label2 = makeLabel(this, QStringLiteral("Label2"), 112, 48, platform::designFont(16));
    Label3 = makeLabel(this, QString::fromUtf8(kCopyrightLine), 32, 92, font());

    lb_hlink =
        makeLabel(this, QString::fromUtf8(kMakerAddress), 32, 128, platform::designFont(13, false, true));
    lb_hlink->setCursor(Qt::PointingHandCursor);
    lb_hlink->installEventFilter(this);

    if (platform::dialogsDrawOwnTitle()) {
        // The designed client area stays as it is, below the window's own title bar.
        const QList<QWidget*> controls = findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
        const int bar = platform::addOwnTitleBar(this);
        for (QWidget* control : controls) control->move(control->pos() + QPoint(0, bar));
        setFixedSize(256, 197 + bar);
    }
}

void Tap_fm::showInFront() {
    show();
    raise();
    activateWindow();
}

void Tap_fm::act() {
    Label2->setText(
        QString::fromStdString(versionText(shellState().versionValue, platform::decimalSeparator())));
    Label2->adjustSize();
}

void Tap_fm::hlink_cl() {
    platform::openLink(kMakerAddress);
}

bool Tap_fm::event(QEvent* event) {
    switch (event->type()) {
        case QEvent::Show:
            // Before the window is mapped, so the window manager frames it as a dialog from the start.
            platform::frameAsDialog(this);
            break;
        case QEvent::WindowActivate:
            act();
            break;
        case QEvent::LocaleChange:
            // The separator is read again now; a shown window follows at once rather than at its next
            // activation.
            platform::readLocaleSettings();
            if (isVisible()) act();
            break;
        default:
            break;
    }
    return QWidget::event(event);
}

// A click on the link: the left button released over it after being pressed there.
bool Tap_fm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == lb_hlink && event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton && lb_hlink->rect().contains(mouse->position().toPoint())) {
            hlink_cl();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace nrbx::ui
