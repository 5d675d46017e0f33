#pragma once
// The last-resort report: a failure that no handler caught, shown without an owner before the program
// ends with exit status 1.

#include <QString>
#include <string_view>

#include "platform/failure.h"

namespace nrbx::app {

inline constexpr const char* kLastResortCaption = "アプリケーション エラー";

// "<kind>がモジュール <file> の <address> で発生しました。", a line break, then the message with "."
// added unless its last byte already is one.
QString lastResortText(const platform::Failure& failure, std::string_view executablePath);

// Shows the box (error icon, one OK button, blocking every window) and gives the exit status, 1.
int reportLastResort(const platform::Failure& failure);

}  // namespace nrbx::app
