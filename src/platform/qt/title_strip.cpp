#include "platform/qt/title_strip.h"

#include <QEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QToolButton>
#include <QWidget>
#include <QWindow>

namespace nrbx::platform {

namespace {

constexpr int kBarHeight = 24;
constexpr int kTextMargin = 8;

class TitleBar : public QWidget {
  public:
    explicit TitleBar(QWidget* window) : QWidget(window), m_window(window) {
        setObjectName(QStringLiteral("nrbx_title_bar"));
        m_close = new QToolButton(this);
        m_close->setObjectName(QStringLiteral("nrbx_title_close"));
        m_close->setAutoRaise(true);
        m_close->setFocusPolicy(Qt::NoFocus);
        m_close->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton, nullptr, this));
        m_close->setToolTip(QStringLiteral("閉じる"));
        connect(m_close, &QToolButton::clicked, window, &QWidget::close);
        window->installEventFilter(this);
        follow();
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == m_window) {
            if (event->type() == QEvent::Resize) follow();
            if (event->type() == QEvent::WindowTitleChange) update();
        }
        return QWidget::eventFilter(watched, event);
    }

    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), palette().color(QPalette::Button).darker(112));
        painter.setPen(palette().color(QPalette::Mid));
        painter.drawLine(0, height() - 1, width() - 1, height() - 1);
        QFont bold = font();
        bold.setBold(true);
        painter.setFont(bold);
        painter.setPen(palette().color(QPalette::WindowText));
        const QRect text = rect().adjusted(kTextMargin, 0, -(m_close->width() + kTextMargin), 0);
        painter.drawText(text, Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine,
                         m_window->windowTitle());
    }

    void mousePressEvent(QMouseEvent* event) override {
        // The compositor moves the window; a client cannot place itself on Wayland.
        if (event->button() == Qt::LeftButton && m_window->windowHandle()) {
            m_window->windowHandle()->startSystemMove();
        }
    }

  private:
    void follow() {
        setGeometry(0, 0, m_window->width(), kBarHeight);
        m_close->setGeometry(width() - kBarHeight, 0, kBarHeight, kBarHeight);
        raise();
    }

    QWidget* m_window;
    QToolButton* m_close = nullptr;
};

}  // namespace

bool dialogsDrawOwnTitle() {
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

int addOwnTitleBar(QWidget* window) {
    // The type alone: Qt drops the frameless hint again beside title and button hints.
    window->setWindowFlags((window->windowFlags() & Qt::WindowType_Mask) | Qt::FramelessWindowHint);
    new TitleBar(window);
    return kBarHeight;
}

}  // namespace nrbx::platform
