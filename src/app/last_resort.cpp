#include "app/last_resort.h"

#include <string>

#include "platform/path.h"
#include "ui/failure_report.h"

namespace nrbx::app {

namespace {

std::string fileNameOf(std::string_view path) {
    const auto slash = path.find_last_of('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

}  // namespace

QString lastResortText(const platform::Failure& failure, std::string_view executablePath) {
    std::string message = failure.message();
    if (!message.empty() && message.back() != '.') message += '.';
    // Where the failure was raised is not known once it has been caught, so the address reads zero.
    const std::string text = std::string(platform::toString(failure.kind())) + "がモジュール " +
                             fileNameOf(executablePath) + " の 00000000 で発生しました。\n" + message;
    return QString::fromStdString(text);
}

int reportLastResort(const platform::Failure& failure) {
    ui::FailureBox box;
    box.caption = QString::fromUtf8(kLastResortCaption);
    box.text = lastResortText(failure, platform::executablePath());
    box.icon = QMessageBox::Critical;
    box.owner = nullptr;
    box.modality = Qt::ApplicationModal;
    ui::showFailureBox(box);
    return 1;
}

}  // namespace nrbx::app
