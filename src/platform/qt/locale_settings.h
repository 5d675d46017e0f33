#pragma once
// The user's locale settings that the program shows numbers with: the decimal separator.

#include <functional>
#include <string>

namespace nrbx::platform {

// The decimal separator of the user's locale as last read, "." when the locale gives none. The first call
// reads it if readLocaleSettings has not run yet.
std::string decimalSeparator();

// Reads the settings again: at start-up, and whenever Qt announces a locale change.
void readLocaleSettings();

// Test seam: where the separator comes from in place of QLocale::system(); an empty function restores
// the system's. Takes effect at the next read.
void setDecimalSeparatorSource(std::function<std::string()> source);

void resetLocaleState();

}  // namespace nrbx::platform
