#pragma once
// The program's version value, one for the about window and the converter (CMake's project version
// says the same: 0.20).

namespace nrbx::data {

inline constexpr double kVersionValue = 0.2;

}  // namespace nrbx::data
