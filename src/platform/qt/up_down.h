#pragma once
// A horizontal up-down control: two arrow buttons that step a position within a range, without wrap.

#include <QWidget>

class QToolButton;

namespace nrbx::platform {

class UpDown : public QWidget {
    Q_OBJECT
  public:
    enum class Arrow { Previous, Next };

    explicit UpDown(QWidget* parent = nullptr);

    int minimum() const { return m_minimum; }
    int maximum() const { return m_maximum; }
    int position() const { return m_position; }
    void setRange(int minimum, int maximum);
    // Sets the position without notifying, held within the range.
    void setPosition(int position);

    QToolButton* previousButton() const { return m_previous; }
    QToolButton* nextButton() const { return m_next; }

  signals:
    // After a step that really changed the position; the new position is already in place.
    void stepped(nrbx::platform::UpDown::Arrow arrow);

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void step(Arrow arrow);

    QToolButton* m_previous;
    QToolButton* m_next;
    int m_minimum = 0;
    int m_maximum = 100;
    int m_position = 0;
};

}  // namespace nrbx::platform
