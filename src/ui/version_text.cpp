#include "ui/version_text.h"

#include "data/version_text.h"

namespace nrbx::ui {

std::string versionText(double value, std::string_view decimalSeparator) {
    return "Version " + data::versionNumber(value, decimalSeparator);
}

}  // namespace nrbx::ui
