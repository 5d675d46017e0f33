#pragma once
// An image control: shows a picture at its natural size, top-left aligned and never smoothed, and
// reports mouse presses, moves and releases in picture pixels.

#include <QImage>
#include <QWidget>

class QMenu;
class QMouseEvent;

namespace nrbx::platform {

class ImageControl : public QWidget {
    Q_OBJECT
  public:
    explicit ImageControl(QWidget* parent = nullptr);

    // The image is shown as it is, one picture pixel per device-independent pixel; it is not copied,
    // so changes to its memory show at the next repaint.
    void setImage(const QImage& image);
    const QImage& image() const { return m_image; }

    // A menu opened at the pointer after a right-button release inside the control has been reported.
    void setPopupMenu(QMenu* menu) { m_popup = menu; }

  signals:
    void mousePressed(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int x, int y);
    void mouseMoved(Qt::KeyboardModifiers modifiers, int x, int y);
    void mouseReleased(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int x, int y);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    QImage m_image;
    QImage m_shown;  // m_image in the screen's 32-bit format, refreshed at every repaint
    QMenu* m_popup = nullptr;
};

}  // namespace nrbx::platform
