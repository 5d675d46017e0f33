#include "platform/qt/bevel.h"

#include <QPainter>

namespace nrbx::platform {

Bevel::Bevel(Shape shape, QWidget* parent) : QWidget(parent), m_shape(shape) {
    // A bevel is decoration only: clicks go to whatever lies beneath or above it.
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void Bevel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QColor shadow = palette().color(QPalette::Dark);
    const QColor light = palette().color(QPalette::Light);
    const int right = width() - 1, bottom = height() - 1;
    if (m_shape == Shape::TopLine) {
        painter.setPen(shadow);
        painter.drawLine(0, 0, right, 0);
        painter.setPen(light);
        painter.drawLine(0, 1, right, 1);
        return;
    }
    painter.setPen(shadow);
    painter.drawLine(0, 0, right - 1, 0);
    painter.drawLine(0, 0, 0, bottom - 1);
    painter.setPen(light);
    painter.drawLine(0, bottom, right, bottom);
    painter.drawLine(right, 0, right, bottom);
}

}  // namespace nrbx::platform
