#include "platform/qt/fonts.h"

#include <QStringList>

namespace nrbx::platform {

QFont designFont(int pixelHeight, bool italic, bool underline) {
    QFont font;
    font.setFamilies({QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("MS PGothic"),
                      QStringLiteral("IPAPGothic"), QStringLiteral("IPAGothic"),
                      QStringLiteral("Noto Sans CJK JP")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixelHeight);
    font.setItalic(italic);
    font.setUnderline(underline);
    return font;
}

}  // namespace nrbx::platform
