#include "ui/failure_report.h"

#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QWidget>
#include <new>
#include <utility>

#include "canvas/selection.h"
#include "platform/qt/title_strip.h"
#include "platform/qt/window_hints.h"
#include "ui/shell_state.h"

namespace nrbx::ui {

namespace {

FailureBoxPresenter g_presenter;

// Frames the box as a dialog each time it is about to appear.
class DialogFrame : public QObject {
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show) platform::frameAsDialog(static_cast<QWidget*>(watched));
        return QObject::eventFilter(watched, event);
    }
};

void presentWithMessageBox(const FailureBox& request) {
    QMessageBox box(request.icon, request.caption, request.text, QMessageBox::Ok, request.owner);
    box.setWindowModality(request.modality);
    if (platform::dialogsDrawOwnTitle()) box.setContentsMargins(0, platform::addOwnTitleBar(&box), 0, 0);
    DialogFrame frame;
    box.installEventFilter(&frame);
    box.exec();
}

}  // namespace

void setFailureBoxPresenter(FailureBoxPresenter presenter) {
    g_presenter = std::move(presenter);
}

void showFailureBox(const FailureBox& box) {
    if (g_presenter) {
        g_presenter(box);
    } else {
        presentWithMessageBox(box);
    }
}

void ReportFailure(const platform::Failure& failure) {
    if (QWidget* grabber = QWidget::mouseGrabber()) grabber->releaseMouse();
    // Without the grab the release may never reach the picture; the drag is over either way.
    canvas::endDrag();

    FailureBox box;
    box.text = QString::fromStdString(platform::withFullStop(failure.message()));
    box.caption = QString::fromStdString(shellState().applicationTitle);
    box.icon = QMessageBox::Critical;
    box.modality = Qt::ApplicationModal;
    const QPointer<QWidget> active = QApplication::activeWindow();
    box.owner = active;
    showFailureBox(box);
    if (active) active->activateWindow();
}

platform::Failure currentFailure() {
    try {
        throw;
    } catch (const platform::Failure& failure) {
        return failure;
    } catch (const std::bad_alloc&) {
        return platform::Failure(platform::FailureKind::OutOfResources, "メモリが足りません");
    } catch (const std::exception& error) {
        return platform::Failure(platform::FailureKind::Other, error.what());
    } catch (...) {
        return platform::Failure(platform::FailureKind::Other, "不明なエラーが発生しました");
    }
}

void runGuarded(const std::function<void()>& handler) {
    runGuarded(handler, {});
}

void runGuarded(const std::function<void()>& handler, const FailureWording& wording) {
    try {
        handler();
    } catch (...) {
        // The report itself may run out of memory; nothing may leave a handler, so that is dropped.
        try {
            const platform::Failure failure = currentFailure();
            ReportFailure(wording ? wording(failure) : failure);
        } catch (...) {
        }
    }
}

}  // namespace nrbx::ui
