#pragma once
// The top-level failure report: every handler of every window runs inside runGuarded, which shows any
// failure in the program's error box and returns to the event loop.

#include <QMessageBox>
#include <QString>
#include <functional>

#include "platform/failure.h"

class QWidget;

namespace nrbx::ui {

// What an error box shows. The window-level report owns it by the window that was active and blocks
// the whole application; the last-resort report has no owner.
struct FailureBox {
    QString caption;
    QString text;
    QMessageBox::Icon icon = QMessageBox::Critical;
    QWidget* owner = nullptr;
    Qt::WindowModality modality = Qt::ApplicationModal;
};

// Test seam: a presenter answers the box instead of a person. An empty one restores the real box.
using FailureBoxPresenter = std::function<void(const FailureBox&)>;
void setFailureBoxPresenter(FailureBoxPresenter presenter);
// Shows the box (one OK button) and returns once it is dismissed.
void showFailureBox(const FailureBox& box);

// Cancels the mouse grab, so a drag in progress ends, then shows the message (with the full stop rule)
// under the application title. Returns when the user has dismissed the box.
void ReportFailure(const platform::Failure& failure);

// The exception being handled as a failure: a Failure as it is, anything else with its own text.
// Only to be called inside a catch block.
platform::Failure currentFailure();

// Runs one handler to its end or to the failing step; whatever it throws is reported, never rethrown.
void runGuarded(const std::function<void()>& handler);
// The same, with the failure put into the handler's own words before it is reported (a headline above
// the reason, the status line set).
using FailureWording = std::function<platform::Failure(const platform::Failure&)>;
void runGuarded(const std::function<void()>& handler, const FailureWording& wording);

}  // namespace nrbx::ui
