#pragma once
// The Qt application object of the program: an exception must never unwind through Qt's event
// dispatch, so one that escapes a handler ends the event loop and is handed back to the entry.

#include <QApplication>
#include <exception>

namespace nrbx::app {

class GuardedApplication : public QApplication {
    Q_OBJECT
  public:
    GuardedApplication(int& argc, char** argv) : QApplication(argc, argv) {}

    bool notify(QObject* receiver, QEvent* event) override;
    // After exec(): rethrows what escaped the event loop, if anything did.
    void rethrowEscaped();

  private:
    std::exception_ptr m_escaped;
};

}  // namespace nrbx::app
