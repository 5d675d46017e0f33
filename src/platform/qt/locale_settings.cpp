#include "platform/qt/locale_settings.h"

#include <QLocale>
#include <QString>

#include <optional>

namespace nrbx::platform {

namespace {

std::function<std::string()> g_source;
std::optional<std::string> g_decimalSeparator;

std::string systemDecimalSeparator() {
    return QLocale::system().decimalPoint().toStdString();
}

}  // namespace

std::string decimalSeparator() {
    if (!g_decimalSeparator) readLocaleSettings();
    return *g_decimalSeparator;
}

void readLocaleSettings() {
    std::string separator = g_source ? g_source() : systemDecimalSeparator();
    g_decimalSeparator = separator.empty() ? std::string(".") : std::move(separator);
}

void setDecimalSeparatorSource(std::function<std::string()> source) {
    g_source = std::move(source);
}

void resetLocaleState() {
    g_source = nullptr;
    g_decimalSeparator.reset();
}

}  // namespace nrbx::platform
