#include "platform/qt/help_viewer.h"

#include "platform/failure.h"
#include "platform/file.h"
#include "platform/qt/fonts.h"
#include "platform/qt/link_opener.h"

#include <QAbstractTextDocumentLayout>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QScrollBar>
#include <QSplitter>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QUrl>
#include <QVBoxLayout>
#include <QWidget>

namespace nrbx::platform {

namespace {

constexpr int kTopicPositionRole = Qt::UserRole;
// Far above the manual's size, far below what would strain memory.
constexpr std::uint64_t kHelpFileLimit = 4 * 1024 * 1024;

// The viewer window: the contents list and a find box on the left, the help text on the right.
class HelpViewer : public QWidget {
  public:
    HelpViewer() {
        setWindowFlag(Qt::Window);
        setAttribute(Qt::WA_DeleteOnClose);
        // Like a separate program, it never keeps ours running once the main window has closed.
        setAttribute(Qt::WA_QuitOnClose, false);
        setFont(designFont(12));
        resize(800, 560);

        m_contents = new QTreeWidget;
        m_contents->setObjectName(QStringLiteral("contents"));
        m_contents->setHeaderHidden(true);
        m_find = new QLineEdit;
        m_find->setObjectName(QStringLiteral("find"));
        m_find->setPlaceholderText(QStringLiteral("検索する語句を入力して Enter"));
        m_text = new QTextBrowser;
        m_text->setObjectName(QStringLiteral("text"));
        m_text->setOpenLinks(false);
        m_text->document()->setDefaultFont(designFont(14));

        auto* side = new QWidget;
        auto* sideLayout = new QVBoxLayout(side);
        sideLayout->setContentsMargins(0, 0, 0, 0);
        sideLayout->addWidget(new QLabel(QStringLiteral("目次")));
        sideLayout->addWidget(m_contents, 1);
        sideLayout->addWidget(new QLabel(QStringLiteral("検索")));
        sideLayout->addWidget(m_find);

        auto* splitter = new QSplitter(Qt::Horizontal);
        splitter->addWidget(side);
        splitter->addWidget(m_text);
        splitter->setStretchFactor(1, 1);
        splitter->setSizes({260, 540});
        auto* layout = new QHBoxLayout(this);
        layout->setContentsMargins(6, 6, 6, 6);
        layout->addWidget(splitter);

        connect(m_contents, &QTreeWidget::itemActivated, this,
                [this](QTreeWidgetItem* item) { scrollToTopic(item); });
        connect(m_contents, &QTreeWidget::itemClicked, this,
                [this](QTreeWidgetItem* item) { scrollToTopic(item); });
        connect(m_find, &QLineEdit::returnPressed, this, [this] { findNext(); });
        connect(m_text, &QTextBrowser::anchorClicked, this, [this](const QUrl& url) { followLink(url); });
    }

    // Reads the file anew on every request, so a help file replaced on disk is shown as it is now.
    void load(const std::string& helpFile) {
        const QString path = QFile::decodeName(QByteArray::fromStdString(helpFile));
        m_contents->clear();
        const QFileInfo info(path);
        QString problem;
        QByteArray bytes;
        if (!info.exists())
            problem = QStringLiteral("ヘルプファイル「%1」が見つかりません。");
        else
            problem = readHelpFile(helpFile, bytes);
        if (!problem.isEmpty()) {
            showProblem(problem.arg(path));
            return;
        }
        m_text->setHtml(QString::fromUtf8(bytes));
        const QString title = m_text->document()->metaInformation(QTextDocument::DocumentTitle);
        setWindowTitle(title.isEmpty() ? QStringLiteral("ヘルプ - %1").arg(info.fileName()) : title);
        fillContents();
    }

    void showFinder() {
        m_text->verticalScrollBar()->setValue(0);
        if (QTreeWidgetItem* first = m_contents->topLevelItem(0)) m_contents->setCurrentItem(first);
        m_contents->setFocus();
    }

    void showTopic(unsigned long number) {
        QTreeWidgetItem* item = nullptr;
        unsigned long index = 0;
        for (QTreeWidgetItemIterator it(m_contents); *it; ++it, ++index) {
            if (index == number) {
                item = *it;
                break;
            }
        }
        if (item == nullptr) item = m_contents->topLevelItem(0);
        if (item == nullptr) return;
        m_contents->setCurrentItem(item);
        scrollToTopic(item);
    }

    void bringToFront() {
        show();
        raise();
        activateWindow();
    }

  private:
    // Opened as the loads open their files: a FIFO, a device or a folder is refused without blocking or
    // reading, and a file too large to be help text is not read at all. Returns what went wrong, or nothing.
    static QString readHelpFile(const std::string& helpFile, QByteArray& bytes) {
        // The viewer reports in its own window and throws nothing, so its failures end here.
        try {
            InputFile file(helpFile);
            const std::uint64_t size = file.size();
            if (size > kHelpFileLimit)
                return QStringLiteral("ヘルプファイル「%1」は大きすぎて読み込めません。");
            bytes.resize(static_cast<qsizetype>(size));
            file.readExact(bytes.data(), static_cast<std::size_t>(size));
            return {};
        } catch (const Failure& failure) {
            return failure.kind() == FailureKind::FileOpen
                       ? QStringLiteral("ヘルプファイル「%1」を開けません。")
                       : QStringLiteral("ヘルプファイル「%1」を読み込めません。");
        }
    }

    void showProblem(const QString& message) {
        setWindowTitle(QStringLiteral("ヘルプ"));
        m_text->setHtml(QStringLiteral("<h3>ヘルプを表示できません</h3><p>%1</p>"
                                       "<p>ヘルプファイルはプログラムと同じフォルダーに置かれます。"
                                       "ファイルがあること、読み取りできることを確かめてください。</p>")
                            .arg(message.toHtmlEscaped()));
    }

    // The contents list is the document's second- and third-level headings, in order.
    void fillContents() {
        QTreeWidgetItem* chapter = nullptr;
        for (QTextBlock block = m_text->document()->begin(); block.isValid(); block = block.next()) {
            const int level = block.blockFormat().headingLevel();
            if (level != 2 && level != 3) continue;
            QTreeWidgetItem* item = nullptr;
            if (level == 3 && chapter != nullptr) {
                item = new QTreeWidgetItem(chapter);
            } else {
                item = new QTreeWidgetItem(m_contents);
                chapter = item;
            }
            item->setText(0, block.text().trimmed());
            item->setData(0, kTopicPositionRole, block.position());
        }
        m_contents->expandAll();
    }

    void scrollToTopic(QTreeWidgetItem* item) {
        if (item == nullptr) return;
        const QTextBlock block = m_text->document()->findBlock(item->data(0, kTopicPositionRole).toInt());
        m_text->setTextCursor(QTextCursor(block));
        const QRectF place = m_text->document()->documentLayout()->blockBoundingRect(block);
        m_text->verticalScrollBar()->setValue(static_cast<int>(place.top()));
    }

    // From the cursor onwards, then once more from the top.
    void findNext() {
        const QString words = m_find->text();
        if (words.isEmpty()) return;
        if (m_text->find(words)) return;
        m_text->moveCursor(QTextCursor::Start);
        m_text->find(words);
    }

    void followLink(const QUrl& url) {
        if (url.scheme().isEmpty() && url.path().isEmpty()) {
            m_text->scrollToAnchor(url.fragment());
            return;
        }
        openLink(url.toString().toStdString());
    }

    QTreeWidget* m_contents = nullptr;
    QLineEdit* m_find = nullptr;
    QTextBrowser* m_text = nullptr;
};

std::function<void(const HelpCall&)> g_handler;
QPointer<HelpViewer> g_viewer;

HelpViewer& openViewer(QWidget* owner) {
    if (g_viewer) return *g_viewer;
    g_viewer = new HelpViewer;
    if (owner != nullptr) g_viewer->move(owner->frameGeometry().topLeft() + QPoint(40, 40));
    return *g_viewer;
}

}  // namespace

void callHelpViewer(QWidget* owner, const std::string& helpFile, HelpCommand command, unsigned long data) {
    if (g_handler) {
        g_handler(HelpCall{owner, helpFile, command, data});
        return;
    }
    if (command == HelpCommand::Quit) {
        delete g_viewer.data();
        return;
    }
    HelpViewer& viewer = openViewer(owner);
    viewer.load(helpFile);
    viewer.bringToFront();
    if (command == HelpCommand::Finder)
        viewer.showFinder();
    else
        viewer.showTopic(data);
}

void setHelpViewerHandler(std::function<void(const HelpCall&)> handler) {
    g_handler = std::move(handler);
}

QWidget* helpViewerWindow() {
    return g_viewer.data();
}

void resetHelpViewerState() {
    g_handler = nullptr;
    delete g_viewer.data();
}

}  // namespace nrbx::platform
