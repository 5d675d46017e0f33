#include "ui/nrbx_main.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <cctype>
#include <optional>
#include <string_view>

#include "canvas/copy.h"
#include "canvas/images.h"
#include "canvas/load.h"
#include "canvas/palette_block.h"
#include "canvas/picture_mouse.h"
#include "canvas/selection.h"
#include "canvas/start_up.h"
#include "canvas/view.h"
#include "data/palette.h"
#include "data/version.h"
#include "export/saved_picture.h"
#include "platform/path.h"
#include "platform/qt/bevel.h"
#include "platform/qt/file_dialog.h"
#include "platform/qt/fonts.h"
#include "platform/qt/help_viewer.h"
#include "platform/qt/image_control.h"
#include "platform/qt/status_bar.h"
#include "platform/qt/window_hints.h"
#include "ui/ap.h"
#include "ui/failure_report.h"
#include "ui/picture_file.h"
#include "ui/shell_state.h"

namespace nrbx::ui {

Tnrbx_form* nrbx_form = nullptr;

namespace {

constexpr int kStatusBarHeight = 19;
// How long a new size must stand before the window takes it back (window-manager round trips).
constexpr int kSizeSettleMs = 250;
// A window manager that never gives the size back (a tiling one) is not asked for ever.
constexpr int kMaxSizeRequests = 8;

const QString kConverting = QStringLiteral("変換中です・・・・");
const QString kNoPalette = QStringLiteral("パレットが未定義です。（デフォルトパレットで代用表示中）");
const QString kNoPattern = QStringLiteral("ＰＣＧが未定義です。");
const QString kPictureImported = QStringLiteral("画像を取り込みました。（パレットブロック %1 個）");
const QString kPictureReduced = QStringLiteral("画像を減色して取り込みました。（パレットブロック %1 個）");
const QString kPictureRefused = QStringLiteral("画像を取り込めませんでした。");

std::optional<canvas::MouseButton> canvasButton(Qt::MouseButton button) {
    switch (button) {
        case Qt::LeftButton:
            return canvas::MouseButton::Left;
        case Qt::RightButton:
            return canvas::MouseButton::Right;
        case Qt::MiddleButton:
            return canvas::MouseButton::Middle;
        default:
            return std::nullopt;
    }
}

// File types of the save dialog, counted from 1: 24 bits, 256 colours, 16 colours.
int depthOfSaveType(int type) {
    switch (type) {
        case 1:
            return 24;
        case 2:
            return 8;
        case 3:
            return 4;
        default:
            return 0;
    }
}

QAction* addItem(QMenu* menu, const char* name, const QString& caption) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(QLatin1String(name));
    action->setMenuRole(QAction::NoRole);
    return action;
}

QAction* addSeparator(QMenu* menu, const char* name) {
    QAction* action = menu->addSeparator();
    action->setObjectName(QLatin1String(name));
    return action;
}

QLabel* addLabel(QWidget* parent, const char* name, int left, int top, const QString& caption,
                 const QFont& font) {
    auto* label = new QLabel(caption, parent);
    label->setObjectName(QLatin1String(name));
    label->setTextFormat(Qt::PlainText);
    label->setFont(font);
    label->move(left, top);
    return label;
}

bool isPaletteFileName(const std::string& path) {
    constexpr std::string_view kPaletteExtension = ".pal";
    if (path.size() < kPaletteExtension.size()) return false;
    const std::string_view tail = std::string_view(path).substr(path.size() - kPaletteExtension.size());
    return std::equal(tail.begin(), tail.end(), kPaletteExtension.begin(),
                      [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; });
}

// The local files among dropped data; links to other places are left alone.
std::vector<std::string> droppedFiles(const QMimeData* data) {
    std::vector<std::string> paths;
    if (data == nullptr || !data->hasUrls()) return paths;
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile()) paths.push_back(QFile::encodeName(url.toLocalFile()).toStdString());
    }
    return paths;
}

// Enabling rule of the Edit menu and the popup: in copy mode only Copy cancel can be chosen.
void applyEnablingRule(QAction* copy, QAction* cancel, QAction* selectAll) {
    const bool copying = canvas::copyState().copyMode;
    copy->setEnabled(!copying);
    cancel->setEnabled(copying);
    selectAll->setEnabled(!copying);
}

}  // namespace

Tnrbx_form::Tnrbx_form(QWidget* parent) : QMainWindow(parent) {
    nrbx_form = this;
    setObjectName(QStringLiteral("nrbx_form"));
    setWindowTitle(QString::fromUtf8(kApplicationTitle));
    setFont(platform::designFont(12));
    // Only the picture has a menu of its own; a right click elsewhere opens nothing.
    setContextMenuPolicy(Qt::NoContextMenu);
    setAcceptDrops(true);
    createComponents();
    createMenus();
    connectHandlers();
    m_sizeCheck = new QTimer(this);
    m_sizeCheck->setSingleShot(true);
    m_sizeCheck->setInterval(kSizeSettleMs);
    connect(m_sizeCheck, &QTimer::timeout, this, &Tnrbx_form::keepDesignedSize);
    setMinimumSize(designedSize());
    resize(designedSize());
    placeOnScreen();
    Fresize();
    FormCreate();
}

Tnrbx_form::~Tnrbx_form() {
    if (nrbx_form == this) nrbx_form = nullptr;
}

int Tnrbx_form::clientWidth() const {
    return width();
}

int Tnrbx_form::clientHeight() const {
    return height() - (MainMenu1 ? MainMenu1->height() : 0);
}

void Tnrbx_form::createComponents() {
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    setCentralWidget(client);

    Bevel2 = new platform::Bevel(platform::Bevel::Shape::TopLine, client);
    Bevel2->setObjectName(QStringLiteral("Bevel2"));
    Bevel2->setGeometry(8, 0, 673, 50);

    pcg_img = new platform::ImageControl(client);
    pcg_img->setObjectName(QStringLiteral("pcg_img"));
    pcg_img->setGeometry(176, 8, canvas::Image24::kWidth, canvas::Image24::kHeight);
    // The view image's own memory, shown as it is at every repaint.
    const auto& view = canvas::imageState().view;
    pcg_img->setImage(QImage(view.bytes.data(), canvas::Image24::kWidth, canvas::Image24::kHeight,
                             canvas::Image24::kStride, QImage::Format_BGR888));

    Bevel1 = new platform::Bevel(platform::Bevel::Shape::Box, client);
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    Bevel1->setGeometry(8, 8, 145, 81);

    Label1 = addLabel(client, "Label1", 16, 16, QStringLiteral("パレットブロックナンバー"), font());
    Label1->adjustSize();

    pb_setbt = new platform::UpDown(client);
    pb_setbt->setObjectName(QStringLiteral("pb_setbt"));
    pb_setbt->setRange(0, data::kPaletteBlocks - 1);
    pb_setbt->setPosition(0);
    pb_setbt->setGeometry(46, 56, 57, 25);

    pbx_mon = addLabel(client, "pbx_mon", 64, 32, QStringLiteral("00"), platform::designFont(19));
    pbx_mon->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    pbx_mon->setMargin(1);
    pbx_mon->adjustSize();

    stms = addLabel(client, "stms", 20, 272, QString(), platform::designFont(16));
    stms->resize(405, 25);

    stbar = new platform::StatusBar(this);
    stbar->setObjectName(QStringLiteral("stbar"));
    stbar->setFixedHeight(kStatusBarHeight);
    setStatusBar(stbar);

    OpenDialog1 = new platform::FileDialog(platform::FileDialogKind::Open, this);
    SaveDialog1 = new platform::FileDialog(platform::FileDialogKind::Save, this);
    SaveDialog1->setDefaultExt(QStringLiteral("bmp"));
    SaveDialog1->setFilter(QStringLiteral(
        "ビットマップファイル(*.bmp)|*.bmp|２５６色ビットマップ|*.bmp|１６色ビットマップ|*.bmp"));
}

void Tnrbx_form::createMenus() {
    MainMenu1 = new QMenuBar(this);
    MainMenu1->setObjectName(QStringLiteral("MainMenu1"));
    setMenuBar(MainMenu1);

    nx_file = MainMenu1->addMenu(QStringLiteral("ファイル(&F)"));
    nx_file->setObjectName(QStringLiteral("nx_file"));
    nx_pcgload = addItem(nx_file, "nx_pcgload", QStringLiteral("ＰＣＧファイル読み込み(&L)"));
    nx_palload = addItem(nx_file, "nx_palload", QStringLiteral("パレットファイル読み込み(&P)"));
    N3 = addSeparator(nx_file, "N3");
    nx_save = addItem(nx_file, "nx_save", QStringLiteral("全体をＢＭＰ形式で保存(&A)"));
    nx_selsave = addItem(nx_file, "nx_selsave", QStringLiteral("選択範囲をＢＭＰ形式で保存(&S)"));
    N1 = addSeparator(nx_file, "N1");
    Exit1 = addItem(nx_file, "Exit1", QStringLiteral("終了(&E)"));

    Edit1 = MainMenu1->addMenu(QStringLiteral("編集(&E)"));
    Edit1->setObjectName(QStringLiteral("Edit1"));
    nx_copy = addItem(Edit1, "nx_copy", QStringLiteral("コピー(&C)"));
    nx_cpcansel = addItem(Edit1, "nx_cpcansel", QStringLiteral("コピーキャンセル(&N)"));
    SelectAll1 = addItem(Edit1, "SelectAll1", QStringLiteral("すべて選択(&A)"));

    Help1 = MainMenu1->addMenu(QStringLiteral("ヘルプ(&H)"));
    Help1->setObjectName(QStringLiteral("Help1"));
    N2 = addItem(Help1, "N2", QStringLiteral("ノルバクスヘルプ(&H)"));
    nx_ap = addItem(Help1, "nx_ap", QStringLiteral("アプリケーション情報(&A)"));

    Popup1 = new QMenu(this);
    Popup1->setObjectName(QStringLiteral("Popup1"));
    pop_copy = addItem(Popup1, "pop_copy", QStringLiteral("コピー(&C)"));
    pop_can = addItem(Popup1, "pop_can", QStringLiteral("コピーキャンセル(&N)"));
    pop_all = addItem(Popup1, "pop_all", QStringLiteral("全て選択(&A)"));
    pcg_img->setPopupMenu(Popup1);
}

void Tnrbx_form::connectHandlers() {
    connect(nx_pcgload, &QAction::triggered, this, &Tnrbx_form::nx_pcgloadClick);
    connect(nx_palload, &QAction::triggered, this, &Tnrbx_form::nx_palloadClick);
    connect(nx_save, &QAction::triggered, this, &Tnrbx_form::nx_saveClick);
    connect(nx_selsave, &QAction::triggered, this, &Tnrbx_form::nx_selsaveClick);
    connect(Exit1, &QAction::triggered, this, &Tnrbx_form::Exit1Click);
    connect(Edit1, &QMenu::aboutToShow, this, &Tnrbx_form::Ed_cl);
    connect(nx_copy, &QAction::triggered, this, &Tnrbx_form::nx_copyClick);
    connect(nx_cpcansel, &QAction::triggered, this, &Tnrbx_form::nx_cpcanselClick);
    connect(SelectAll1, &QAction::triggered, this, &Tnrbx_form::SelectAll1Click);
    connect(N2, &QAction::triggered, this, &Tnrbx_form::N2Click);
    connect(nx_ap, &QAction::triggered, this, &Tnrbx_form::nx_apClick);
    connect(Popup1, &QMenu::aboutToShow, this, &Tnrbx_form::on_pop1);
    connect(pop_copy, &QAction::triggered, this, &Tnrbx_form::nx_copyClick);
    connect(pop_can, &QAction::triggered, this, &Tnrbx_form::nx_cpcanselClick);
    connect(pop_all, &QAction::triggered, this, &Tnrbx_form::SelectAll1Click);
    for (QMenu* menu : {nx_file, Edit1, Help1, Popup1}) menu->installEventFilter(this);
    connect(pb_setbt, &platform::UpDown::stepped, this, &Tnrbx_form::pb_setbtClick);
    connect(pcg_img, &platform::ImageControl::mousePressed, this, &Tnrbx_form::pi_md);
    connect(pcg_img, &platform::ImageControl::mouseMoved, this, &Tnrbx_form::pi_mm);
    connect(pcg_img, &platform::ImageControl::mouseReleased, this, &Tnrbx_form::pi_mu);
}

QSize Tnrbx_form::designedSize() const {
    return QSize(kClientWidth, kClientHeight + MainMenu1->sizeHint().height());
}

void Tnrbx_form::keepDesignedSize() {
    if (windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen | Qt::WindowMinimized)) return;
    if (size() == designedSize()) {
        m_sizeRequests = 0;
        return;
    }
    // xfwm4, marco and metacity ignore a size asked for while they still hold an edge drag, and tell
    // nothing when it ends: so the request waits for the button's release, and is checked again after
    // it, until the window has its size. Size limits would do it without asking, but cost maximise.
    if (platform::pointerButtonHeld()) {
        m_sizeCheck->start();
        return;
    }
    if (m_sizeRequests >= kMaxSizeRequests) return;
    ++m_sizeRequests;
    platform::resizeInPlace(this, designedSize());
    m_sizeCheck->start();
}

void Tnrbx_form::placeOnScreen() {
    // In device-independent pixels, as designed; a screen too small for the designed place (a scale
    // factor on a small screen) gets the window moved in from the right and bottom edges.
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) {
        move(kLeft, kTop);
        return;
    }
    const QRect available = screen->availableGeometry();
    // Once shown, a window that fits stays wherever it is.
    if (isVisible() && available.contains(frameGeometry())) return;
    const QSize frame = frameGeometry().size().expandedTo(size());
    const int left = std::max(available.left(), std::min(kLeft, available.right() + 1 - frame.width()));
    const int top = std::max(available.top(), std::min(kTop, available.bottom() + 1 - frame.height()));
    move(left, top);
}

void Tnrbx_form::setStatus(const QString& text) {
    stbar->setSimpleText(text);
    // Drawn at once, so the line can show its text while a long step runs.
    stbar->repaint();
}

void Tnrbx_form::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    Fresize();
    // Size limits would keep window managers from offering maximise, so the edges are refused here
    // instead, once the size has settled: a maximise brings its new size before its new state.
    if (m_sizeCheck) m_sizeCheck->start();
}

void Tnrbx_form::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (m_placedWithFrame) return;
    m_placedWithFrame = true;
    // The frame is known only once the window manager has taken the window; then it must fit as well.
    QTimer::singleShot(kSizeSettleMs, this, &Tnrbx_form::placeOnScreen);
}

void Tnrbx_form::closeEvent(QCloseEvent* event) {
    fclose();
    event->accept();
    // Closing the main window ends the program, whatever other window is still open.
    QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit, Qt::QueuedConnection);
}

void Tnrbx_form::nx_pcgloadClick() {
    runGuarded([this] {
        if (!runOpenDialog(
                QStringLiteral("ＰＣＧファイル（スプライトパターン）読み込み"),
                QStringLiteral("ＰＣＧファイル(*.pcg,*.pat,*.dat)|*.pcg;*pat;*.dat|全てのファイル|*.*"))) {
            return;
        }
        loadPattern(OpenDialog1->localFileName());
    });
    pcg_img->update();
}

void Tnrbx_form::loadPattern(const std::string& path) {
    canvas::loadPattern(path, [this] { setStatus(kConverting); });
    setStatus(QString());
    setPatternLoaded(true);
    if (!shellState().paletteLoaded) setStatus(kNoPalette);
    canvas::RedrawView();
}

void Tnrbx_form::loadPalette(const std::string& path) {
    canvas::loadPalette(path, [this] { setStatus(kConverting); });
    setStatus(QString());
    setPaletteLoaded(true);
    if (!shellState().patternLoaded) setStatus(kNoPattern);
    canvas::RedrawView();
}

void Tnrbx_form::loadPicture(const std::string& path) {
    setStatus(kConverting);
    const OpenedPicture opened = importPictureFile(path);
    canvas::loadPattern(opened.result.pattern);
    canvas::loadPalette(opened.result.palette.bytes);
    canvas::renderInBlocks(opened.result.blockMap);
    setPatternLoaded(true);
    setPaletteLoaded(true);
    setStatus((opened.reduced ? kPictureReduced : kPictureImported).arg(opened.blocksUsed));
    canvas::RedrawView();
}

void Tnrbx_form::openFiles(const std::vector<std::string>& paths) {
    for (const std::string& path : paths) {
        // A PNG or BMP is known by its first bytes, whatever its name; every other file loads as before.
        bool picture = false;
        runGuarded([&] {
            picture = isPictureFile(path);
            if (picture) return;
            if (isPaletteFileName(path)) {
                loadPalette(path);
            } else {
                loadPattern(path);
            }
        });
        if (picture) {
            runGuarded([&] { loadPicture(path); },
                       [&](const platform::Failure& failure) { return pictureFailure(path, failure); });
        }
        pcg_img->update();
    }
}

platform::Failure Tnrbx_form::pictureFailure(const std::string& path, const platform::Failure& failure) {
    setStatus(kPictureRefused);
    // The file's own failures are worded as every load's; the import's refusals keep their reason under
    // a headline of the window's.
    if (failure.kind() != platform::FailureKind::Other) return failure;
    return platform::Failure(failure.kind(), QStringLiteral("画像ファイル %1 は取り込めません。\n")
                                                     .arg(QFile::decodeName(QByteArray::fromStdString(path)))
                                                     .toStdString() +
                                                 failure.message());
}

void Tnrbx_form::dragEnterEvent(QDragEnterEvent* event) {
    if (!droppedFiles(event->mimeData()).empty()) event->acceptProposedAction();
}

void Tnrbx_form::dragMoveEvent(QDragMoveEvent* event) {
    if (!droppedFiles(event->mimeData()).empty()) event->acceptProposedAction();
}

void Tnrbx_form::dropEvent(QDropEvent* event) {
    const std::vector<std::string> paths = droppedFiles(event->mimeData());
    if (paths.empty()) return;
    event->acceptProposedAction();
    // Loaded once the drop has returned, so an error box never holds the file manager's drag open.
    QMetaObject::invokeMethod(
        this, [this, paths] { openFiles(paths); }, Qt::QueuedConnection);
}

void Tnrbx_form::FormCreate() {
    runGuarded([] {
        startWindowShell(platform::ExtractDirectory(platform::executablePath()), data::kVersionValue);
        canvas::startPicture();
    });
    pcg_img->update();
}

void Tnrbx_form::pb_setbtClick(platform::UpDown::Arrow /*arrow*/) {
    runGuarded([this] {
        canvas::changePaletteBlock(pb_setbt->position());
        pbx_mon->setText(QString::fromStdString(canvas::blockText(canvas::imageState().paletteBlock)));
        pbx_mon->adjustSize();
    });
    pcg_img->update();
}

void Tnrbx_form::pi_md(Qt::MouseButton button, Qt::KeyboardModifiers /*shift*/, int x, int y) {
    runGuarded([&] {
        if (const auto b = canvasButton(button)) canvas::pictureMouseDown(*b, x, y);
    });
    pcg_img->update();
}

void Tnrbx_form::pi_mu(Qt::MouseButton button, Qt::KeyboardModifiers /*shift*/, int /*x*/, int /*y*/) {
    runGuarded([&] {
        if (const auto b = canvasButton(button)) canvas::pictureMouseUp(*b);
    });
    pcg_img->update();
}

void Tnrbx_form::pi_mm(Qt::KeyboardModifiers /*shift*/, int x, int y) {
    runGuarded([&] { canvas::pictureMouseMove(x, y); });
    pcg_img->update();
}

bool Tnrbx_form::runOpenDialog(const QString& title, const QString& filter) {
    // Each showing starts with an empty name and the first filter, whatever was chosen before.
    OpenDialog1->setFileName(QString());
    OpenDialog1->setTitle(title);
    OpenDialog1->setFilter(filter);
    OpenDialog1->setFilterIndex(1);
    return OpenDialog1->execute(this);
}

int Tnrbx_form::runSaveDialog(const QString& title) {
    SaveDialog1->setTitle(title);
    SaveDialog1->setFilterIndex(1);
    if (!SaveDialog1->execute(this)) return 0;
    return depthOfSaveType(SaveDialog1->filterIndex());
}

void Tnrbx_form::nx_saveClick() {
    runGuarded([this] {
        const int bpp = runSaveDialog(QStringLiteral("画像の保存"));
        if (bpp == 0) return;
        exporting::saveBmp(std::nullopt, bpp, SaveDialog1->localFileName());
    });
}

bool Tnrbx_form::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_F1) {
        // The menu goes first: an open menu would stay above the help viewer.
        while (QWidget* popup = QApplication::activePopupWidget()) popup->close();
        runGuarded([this] {
            platform::callHelpViewer(this, shellState().helpFilePath, platform::HelpCommand::Context, 0);
        });
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void Tnrbx_form::nx_apClick() {
    runGuarded([] {
        if (ap_fm != nullptr) ap_fm->showInFront();
    });
}

void Tnrbx_form::Exit1Click() {
    runGuarded([this] { close(); });
}

void Tnrbx_form::N2Click() {
    runGuarded([this] { openHelpContents(this); });
}

void Tnrbx_form::nx_palloadClick() {
    runGuarded([this] {
        if (!runOpenDialog(QStringLiteral("パレットファイル（スプライトパレット）読み込み"),
                           QStringLiteral("パレットファイル(*.pal)|*.pal|全てのファイル|*.*"))) {
            return;
        }
        loadPalette(OpenDialog1->localFileName());
    });
    pcg_img->update();
}

void Tnrbx_form::SelectAll1Click() {
    runGuarded([] { canvas::SelectAll(); });
    pcg_img->update();
}

void Tnrbx_form::Fresize() {
    runGuarded([] {
        // Runs while the window is still being built, so it goes through the window reference.
        if (nrbx_form && nrbx_form->Bevel2) {
            nrbx_form->Bevel2->resize(nrbx_form->clientWidth(), nrbx_form->Bevel2->height());
        }
    });
}

void Tnrbx_form::fclose() {
    runGuarded([] {
        // The backing image is released with the program, not here: events still queued after the close
        // (a mouse move over the picture) must find it in place.
    });
}

void Tnrbx_form::nx_selsaveClick() {
    runGuarded([this] {
        const canvas::CellRect selection = canvas::orderedSelection();
        const int bpp = runSaveDialog(QStringLiteral("選択範囲をＢＭＰ形式で保存"));
        if (bpp == 0) return;
        exporting::saveBmp(selection, bpp, SaveDialog1->localFileName());
    });
}

void Tnrbx_form::nx_copyClick() {
    runGuarded([] { canvas::startCopy(); });
    pcg_img->update();
}

void Tnrbx_form::nx_cpcanselClick() {
    runGuarded([] { canvas::cancelCopy(); });
    pcg_img->update();
}

void Tnrbx_form::Ed_cl() {
    runGuarded([this] { applyEnablingRule(nx_copy, nx_cpcansel, SelectAll1); });
}

void Tnrbx_form::on_pop1() {
    runGuarded([this] { applyEnablingRule(pop_copy, pop_can, pop_all); });
}

}  // namespace nrbx::ui
