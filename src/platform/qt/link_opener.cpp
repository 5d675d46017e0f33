#include "platform/qt/link_opener.h"

#include <QDesktopServices>
#include <QString>
#include <QUrl>

namespace nrbx::platform {

namespace {
std::function<void(const std::string&)> g_opener;
}

void openLink(const std::string& address) {
    if (g_opener) {
        g_opener(address);
        return;
    }
    QDesktopServices::openUrl(QUrl(QString::fromStdString(address)));
}

void setLinkOpener(std::function<void(const std::string&)> opener) {
    g_opener = std::move(opener);
}

void resetLinkOpenerState() {
    g_opener = nullptr;
}

}  // namespace nrbx::platform
