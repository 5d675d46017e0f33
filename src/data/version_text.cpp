#include "data/version_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>

namespace nrbx::data {

namespace {

constexpr int kSignificantDigits = 15;

// The digits of |value| rounded half away from zero to two decimals, as one integer string: 0.125 gives
// "13", 12.5 gives "1250". Rounding works on the value's 15 significant decimal digits, the number as a
// user reads it, so 0.145 gives "15" although the nearest double lies a little below 0.145.
std::string hundredths(double magnitude) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, magnitude,
                                      std::chars_format::scientific, kSignificantDigits - 1);
    const std::string_view text(buffer, static_cast<std::size_t>(result.ptr - buffer));
    // text is "d.dddddddddddddde±x": the digits 0.d1d2… times ten to the power exponent + 1.
    const std::size_t e = text.find('e');
    std::string digits;
    for (char c : text.substr(0, e))
        if (c != '.') digits += c;
    const int exponent = std::atoi(std::string(text.substr(e + 1)).c_str());

    // The digits that stand before the second decimal place, behind one zero that takes a carry.
    const int kept = exponent + 1 + 2;
    if (kept < 0) return "0";
    std::string whole(1, '0');
    for (int i = 0; i < kept; ++i)
        whole += i < kSignificantDigits ? digits[static_cast<std::size_t>(i)] : '0';
    if (kept < kSignificantDigits && digits[static_cast<std::size_t>(kept)] >= '5') {
        std::size_t i = whole.size();
        while (whole[i - 1] == '9') whole[--i] = '0';
        ++whole[i - 1];
    }
    const std::size_t first = whole.find_first_not_of('0');
    return first == std::string::npos ? "0" : whole.substr(first);
}

}  // namespace

std::string versionNumber(double value, std::string_view decimalSeparator) {
    if (std::isnan(value)) return "NAN";
    if (std::isinf(value)) return value < 0 ? "-INF" : "INF";

    std::string digits = hundredths(std::fabs(value));
    if (digits.size() < 3) {
        std::string padded(3 - digits.size(), '0');
        padded += digits;
        digits = std::move(padded);
    }
    std::string text;
    // A value that rounds to zero is shown without a sign.
    if (value < 0 && digits.find_first_not_of('0') != std::string::npos) text += '-';
    text.append(digits, 0, digits.size() - 2);
    text += decimalSeparator;
    text.append(digits, digits.size() - 2, 2);
    return text;
}

}  // namespace nrbx::data
