#pragma once
// The about window's version line: the version value in the format "Version 0.00".

#include <string>
#include <string_view>

namespace nrbx::ui {

// "Version " + value rounded to two decimals, at least one digit before decimalSeparator and exactly two
// after it: 0.2 with "." gives "Version 0.20", with "," gives "Version 0,20".
std::string versionText(double value, std::string_view decimalSeparator);

}  // namespace nrbx::ui
