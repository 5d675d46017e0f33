#pragma once
// The version number as the window and the tools show it: "0.20".

#include <string>
#include <string_view>

namespace nrbx::data {

// The value rounded to two decimals, at least one digit before decimalSeparator and exactly two after it:
// 0.2 with "." gives "0.20", with "," gives "0,20". NaN and infinities read "NAN", "INF" and "-INF".
std::string versionNumber(double value, std::string_view decimalSeparator = ".");

}  // namespace nrbx::data
