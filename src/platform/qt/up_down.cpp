#include "platform/qt/up_down.h"

#include <QToolButton>
#include <algorithm>

namespace nrbx::platform {

namespace {

QToolButton* makeArrowButton(Qt::ArrowType type, QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setArrowType(type);
    // Holding an arrow down keeps stepping, one position per repeat.
    button->setAutoRepeat(true);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

}  // namespace

UpDown::UpDown(QWidget* parent)
    : QWidget(parent),
      m_previous(makeArrowButton(Qt::LeftArrow, this)),
      m_next(makeArrowButton(Qt::RightArrow, this)) {
    connect(m_previous, &QToolButton::clicked, this, [this] { step(Arrow::Previous); });
    connect(m_next, &QToolButton::clicked, this, [this] { step(Arrow::Next); });
}

void UpDown::setRange(int minimum, int maximum) {
    m_minimum = minimum;
    m_maximum = std::max(minimum, maximum);
    m_position = std::clamp(m_position, m_minimum, m_maximum);
}

void UpDown::setPosition(int position) {
    m_position = std::clamp(position, m_minimum, m_maximum);
}

void UpDown::step(Arrow arrow) {
    const int wanted = m_position + (arrow == Arrow::Next ? 1 : -1);
    if (wanted < m_minimum || wanted > m_maximum) return;
    m_position = wanted;
    emit stepped(arrow);
}

void UpDown::resizeEvent(QResizeEvent*) {
    const int half = width() / 2;
    m_previous->setGeometry(0, 0, half, height());
    m_next->setGeometry(half, 0, width() - half, height());
}

}  // namespace nrbx::platform
