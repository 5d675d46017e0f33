#pragma once
// A bevel: a lowered box or a lowered line along the top edge, drawn in the palette's shade colours.

#include <QWidget>

namespace nrbx::platform {

class Bevel : public QWidget {
    Q_OBJECT
  public:
    enum class Shape { Box, TopLine };

    explicit Bevel(Shape shape, QWidget* parent = nullptr);
    Shape shape() const { return m_shape; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    Shape m_shape;
};

}  // namespace nrbx::platform
