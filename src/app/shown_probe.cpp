#include "app/shown_probe.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>
#include <QWindow>
#include <chrono>
#include <cstdio>

namespace nrbx::app {

namespace {

class ShownProbe : public QObject {
  public:
    explicit ShownProbe(QWindow* window) : QObject(window) {
        window->installEventFilter(this);
        if (window->isExposed()) seen();
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* window = static_cast<QWindow*>(watched);
        if (event->type() == QEvent::Expose && window->isExposed()) seen();
        return QObject::eventFilter(watched, event);
    }

  private:
    void seen() {
        if (m_seen) return;
        m_seen = true;
        // Queued, so it runs once the expose has been handled: the window painted and flushed.
        QMetaObject::invokeMethod(this, &ShownProbe::report, Qt::QueuedConnection);
    }

    void report() {
        const auto now = std::chrono::steady_clock::now().time_since_epoch();
        std::fprintf(
            stderr, "nrbx: shown at %lld\n",
            static_cast<long long>(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()));
        std::fflush(stderr);
        QCoreApplication::quit();
    }

    bool m_seen = false;
};

}  // namespace

bool exitWhenShownRequested() {
    return qEnvironmentVariableIsSet("NRBX_EXIT_WHEN_SHOWN");
}

void exitWhenShown(QWidget* window) {
    if (window && window->windowHandle()) new ShownProbe(window->windowHandle());
}

}  // namespace nrbx::app
