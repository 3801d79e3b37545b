// Qt widgets behind the input controls.
#pragma once

#include <QComboBox>
#include <QFocusEvent>
#include <QLineEdit>
#include <QValidator>
#include <functional>

namespace uikit {

// A line edit that reports focus changes and Enter through callbacks.
class FocusLineEdit : public QLineEdit {
 public:
  explicit FocusLineEdit(QWidget* parent) : QLineEdit(parent) { setAttribute(Qt::WA_InputMethodEnabled, false); }
  std::function<void()> onFocusIn;
  std::function<void()> onFocusOut;
  // Focus taken by a click in the edit.
  std::function<void()> onMouseFocusIn;

 protected:
  void focusInEvent(QFocusEvent* event) override {
    QLineEdit::focusInEvent(event);
    if (event->reason() == Qt::PopupFocusReason) return;
    if (onFocusIn) onFocusIn();
    if (onMouseFocusIn && event->reason() == Qt::MouseFocusReason) onMouseFocusIn();
  }
  void focusOutEvent(QFocusEvent* event) override {
    QLineEdit::focusOutEvent(event);
    if (onFocusOut && event->reason() != Qt::PopupFocusReason) onFocusOut();
  }
};

// What the user may type: digits only when asked, and at most `limit`
// characters. Text set from code is not checked.
class EditValidator : public QValidator {
 public:
  explicit EditValidator(QObject* parent) : QValidator(parent) {}
  bool digitsOnly = false;
  int limit = 0;
  State validate(QString& input, int&) const override {
    if (limit > 0 && input.size() > limit) return Invalid;
    if (digitsOnly) {
      for (QChar c : input) {
        if (!c.isDigit()) return Invalid;
      }
    }
    return Acceptable;
  }
};

}  // namespace uikit
