#include "app/guarded_application.h"

#include <utility>

namespace nrbx::app {

bool GuardedApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        if (!m_escaped) m_escaped = std::current_exception();
        exit(1);
        return false;
    }
}

void GuardedApplication::rethrowEscaped() {
    if (m_escaped) std::rethrow_exception(std::exchange(m_escaped, nullptr));
}

}  // namespace nrbx::app
