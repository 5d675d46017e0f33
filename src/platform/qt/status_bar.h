#pragma once
// A status bar with one simple-text line and no panels or size grip.

#include <QStatusBar>

class QLabel;

namespace nrbx::platform {

class StatusBar : public QStatusBar {
    Q_OBJECT
  public:
    explicit StatusBar(QWidget* parent = nullptr);

    // The text stays until it is set again: menu hints and other temporary messages do not erase it.
    void setSimpleText(const QString& text);
    QString simpleText() const;

  private:
    QLabel* m_text;
};

}  // namespace nrbx::platform
