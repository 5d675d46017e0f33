#include "platform/qt/drag_cursor.h"

#include <QApplication>
#include <QBitmap>
#include <QImage>
#include <array>

#include "platform/cursor.h"

namespace nrbx::platform {

namespace {

// 'X' black, '.' white, anything else transparent. Rows beyond the drawing are transparent.
constexpr std::array<const char*, 28> kDragShape = {
    "X",
    "XX",
    "X.X",
    "X..X",
    "X...X",
    "X....X",
    "X.....X",
    "X......X",
    "X.......X",
    "X........X",
    "X.....XXXXX",
    "X..X..X",
    "X.X X..X",
    "XX  X..X",
    "X    X..X",
    "     X..X",
    "      XX",
    "",
    "",
    "        XXXXXXXXXXXX",
    "        X..........X",
    "        X..........X",
    "        X..........X",
    "        X..........X",
    "        X..........X",
    "        X..........X",
    "        X..........X",
    "        XXXXXXXXXXXX",
};

constexpr int kCursorSize = 32;

bool g_overrideActive = false;

void showAppCursor(AppCursor cursor) {
    if (!qApp) return;
    if (cursor == AppCursor::Drag) {
        if (g_overrideActive) {
            QApplication::changeOverrideCursor(dragCursor());
        } else {
            QApplication::setOverrideCursor(dragCursor());
            g_overrideActive = true;
        }
    } else if (g_overrideActive) {
        QApplication::restoreOverrideCursor();
        g_overrideActive = false;
    }
}

}  // namespace

QCursor dragCursor() {
    // Monochrome images: in the bitmap 1 is black, in the mask 1 is drawn.
    QImage bits(kCursorSize, kCursorSize, QImage::Format_Mono);
    QImage mask(kCursorSize, kCursorSize, QImage::Format_Mono);
    for (QImage* image : {&bits, &mask}) {
        image->setColorCount(2);
        image->setColor(0, qRgb(255, 255, 255));
        image->setColor(1, qRgb(0, 0, 0));
        image->fill(0);
    }
    for (int y = 0; y < static_cast<int>(kDragShape.size()); ++y) {
        for (int x = 0; kDragShape[y][x] != '\0'; ++x) {
            const char c = kDragShape[y][x];
            if (c != 'X' && c != '.') continue;
            mask.setPixel(x, y, 1);
            bits.setPixel(x, y, c == 'X' ? 1 : 0);
        }
    }
    return QCursor(QBitmap::fromImage(bits), QBitmap::fromImage(mask), 0, 0);
}

void installAppCursorOverride() {
    setAppCursorHandler(showAppCursor);
}

void removeAppCursorOverride() {
    setAppCursorHandler(nullptr);
    showAppCursor(AppCursor::Default);
}

}  // namespace nrbx::platform
