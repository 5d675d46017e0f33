#include "platform/qt/status_bar.h"

#include <QLabel>

namespace nrbx::platform {

StatusBar::StatusBar(QWidget* parent) : QStatusBar(parent), m_text(new QLabel(this)) {
    setSizeGripEnabled(false);
    m_text->setTextFormat(Qt::PlainText);
    addWidget(m_text, 1);
}

void StatusBar::setSimpleText(const QString& text) {
    m_text->setText(text);
}

QString StatusBar::simpleText() const {
    return m_text->text();
}

}  // namespace nrbx::platform
