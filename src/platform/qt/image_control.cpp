#include "platform/qt/image_control.h"

#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QRegion>
#include <cmath>
#include <cstdint>

#include "platform/simd.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace nrbx::platform {

namespace {

// With a scale factor a picture pixel spans several device pixels; all of them belong to it.
int picturePixel(qreal coordinate) {
    return static_cast<int>(std::floor(coordinate));
}

// Blue, green, red bytes to 0xffRRGGBB words, the screen's own format: Qt's general path for 24-bit
// images costs more than the whole redraw of the picture.
void bgrToRgb32Plain(const std::uint8_t* in, std::uint32_t* out, int count) {
    for (int x = 0; x < count; ++x, in += 3) {
        out[x] = 0xff000000u | std::uint32_t(in[2]) << 16 | std::uint32_t(in[1]) << 8 | in[0];
    }
}

#if defined(__x86_64__)
// Four pixels per shuffle. A load takes 16 bytes for the 12 it uses, so the last pixels of a row, whose
// load would reach past it, go the plain way.
__attribute__((target("ssse3"))) void bgrToRgb32Ssse3(const std::uint8_t* in, std::uint32_t* out, int count) {
    const __m128i spread = _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
    const __m128i opaque = _mm_set1_epi32(static_cast<int>(0xff000000u));
    int x = 0;
    for (; x + 6 <= count; x += 4) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 3 * x));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x),
                         _mm_or_si128(_mm_shuffle_epi8(bytes, spread), opaque));
    }
    bgrToRgb32Plain(in + 3 * x, out + x, count - x);
}

const bool kHasSsse3 = __builtin_cpu_supports("ssse3");
#endif

void bgrToRgb32(const std::uint8_t* in, std::uint32_t* out, int count) {
#if defined(__x86_64__)
    if (kHasSsse3 && vectorKernelsEnabled()) return bgrToRgb32Ssse3(in, out, count);
#endif
    bgrToRgb32Plain(in, out, count);
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
    // The background only where the picture leaves the control uncovered.
    for (const QRect& uncovered : QRegion(rect()).subtracted(m_image.rect())) {
        painter.fillRect(uncovered, palette().color(QPalette::Window));
    }
    if (m_image.format() != QImage::Format_BGR888) {
        painter.drawImage(QPoint(0, 0), m_image);
        return;
    }
    if (m_shown.size() != m_image.size()) m_shown = QImage(m_image.size(), QImage::Format_RGB32);
    for (int y = 0; y < m_image.height(); ++y) {
        bgrToRgb32(m_image.constScanLine(y), reinterpret_cast<std::uint32_t*>(m_shown.scanLine(y)),
                   m_image.width());
    }
    painter.drawImage(QPoint(0, 0), m_shown);
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
    const QPoint pixel(picturePixel(p.x()), picturePixel(p.y()));
    const QPointer<ImageControl> self(this);
    emit mouseReleased(event->button(), event->modifiers(), pixel.x(), pixel.y());
    // A press on the picture dragged off it still reports its release here, but opens no menu.
    if (self && event->button() == Qt::RightButton && m_popup && rect().contains(pixel))
        m_popup->popup(global);
}

}  // namespace nrbx::platform
