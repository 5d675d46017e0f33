#pragma once
// Japanese for the few texts of Qt's own dialogs that Debian's Qt translations leave in English.

#include <QTranslator>

namespace nrbx::platform {

// Answers only the texts it knows; every other lookup falls through to the next translator.
class MissingQtTexts : public QTranslator {
    Q_OBJECT
  public:
    using QTranslator::QTranslator;

    bool isEmpty() const override { return false; }
    QString translate(const char* context, const char* sourceText, const char* disambiguation = nullptr,
                      int n = -1) const override;
};

}  // namespace nrbx::platform
