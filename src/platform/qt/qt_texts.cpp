#include "platform/qt/qt_texts.h"

#include <cstring>

namespace nrbx::platform {

namespace {

struct Text {
    const char* context;
    const char* source;
    const char* japanese;
};

// The file dialog's type column: Qt 6 moved these to a context the translations do not have yet.
constexpr Text kTexts[] = {
    {"QAbstractFileIconProvider", "Folder", "フォルダ"},
    {"QAbstractFileIconProvider", "File Folder", "ファイル フォルダ"},
    {"QAbstractFileIconProvider", "Drive", "ドライブ"},
    {"QAbstractFileIconProvider", "Shortcut", "ショートカット"},
    {"QAbstractFileIconProvider", "Alias", "エイリアス"},
    {"QAbstractFileIconProvider", "Unknown", "不明"},
};

}  // namespace

QString MissingQtTexts::translate(const char* context, const char* sourceText, const char* /*disambiguation*/,
                                  int /*n*/) const {
    if (!context || !sourceText) return {};
    for (const Text& text : kTexts) {
        if (std::strcmp(context, text.context) == 0 && std::strcmp(sourceText, text.source) == 0) {
            return QString::fromUtf8(text.japanese);
        }
    }
    return {};
}

}  // namespace nrbx::platform
