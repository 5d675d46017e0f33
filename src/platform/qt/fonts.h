#pragma once
// Fonts of the windows: the designed Japanese face at a pixel height, with installed fallbacks.

#include <QFont>

namespace nrbx::platform {

// "ＭＳ Ｐゴシック" at the given character height in pixels; where it is missing, IPA P Gothic and then
// other Japanese faces, so every caption is drawn with Japanese glyphs.
QFont designFont(int pixelHeight, bool italic = false, bool underline = false);

}  // namespace nrbx::platform
