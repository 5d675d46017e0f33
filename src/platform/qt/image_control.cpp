#include "platform/qt/image_control.h"

#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <cmath>

namespace nrbx::platform {

namespace {

// With a scale factor a picture pixel spans several device pixels; all of them belong to it.
int picturePixel(qreal coordinate) {
    return static_cast<int>(std::floor(coordinate));
}

}  // namespace

ImageControl::ImageControl(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    // The popup opens on the release of the right button, not on the platform's context-menu event.
    setContextMenuPolicy(Qt::PreventContextMenu);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void ImageControl::setImage(const QImage& image) {
    m_image = image;
    update();
}

void ImageControl::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.fillRect(rect(), palette().color(QPalette::Window));
    painter.drawImage(QPoint(0, 0), m_image);
}

void ImageControl::mousePressEvent(QMouseEvent* event) {
    const QPointF p = event->position();
    emit mousePressed(event->button(), event->modifiers(), picturePixel(p.x()), picturePixel(p.y()));
}

void ImageControl::mouseMoveEvent(QMouseEvent* event) {
    const QPointF p = event->position();
    emit mouseMoved(event->modifiers(), picturePixel(p.x()), picturePixel(p.y()));
}

void ImageControl::mouseReleaseEvent(QMouseEvent* event) {
    const QPointF p = event->position();
    const QPoint global = event->globalPosition().toPoint();
    const QPointer<ImageControl> self(this);
    emit mouseReleased(event->button(), event->modifiers(), picturePixel(p.x()), picturePixel(p.y()));
    if (self && event->button() == Qt::RightButton && m_popup) m_popup->popup(global);
}

}  // namespace nrbx::platform
