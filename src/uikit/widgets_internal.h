// Qt widgets behind the input controls.
#pragma once

#include <QComboBox>
#include <QFocusEvent>
#include <QLineEdit>
#include <QMouseEvent>
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
  // A field that shows a key captured elsewhere: it keeps every key to
  // itself, and onFocusIn runs only for a click into it (also a click into
  // it while it kept focus through a window switch).
  bool keyField = false;

 protected:
  bool event(QEvent* event) override {
    const QEvent::Type type = event->type();
    if (keyField && (type == QEvent::KeyPress || type == QEvent::KeyRelease || type == QEvent::ShortcutOverride)) {
      event->accept();
      return true;
    }
    return QLineEdit::event(event);
  }
  void focusInEvent(QFocusEvent* event) override {
    QLineEdit::focusInEvent(event);
    if (event->reason() == Qt::PopupFocusReason) return;
    if (keyField && event->reason() != Qt::MouseFocusReason) return;
    focusReported_ = true;
    if (onFocusIn) onFocusIn();
    if (onMouseFocusIn && event->reason() == Qt::MouseFocusReason) onMouseFocusIn();
  }
  void focusOutEvent(QFocusEvent* event) override {
    QLineEdit::focusOutEvent(event);
    if (event->reason() == Qt::PopupFocusReason) return;
    focusReported_ = false;
    if (onFocusOut) onFocusOut();
  }
  void mousePressEvent(QMouseEvent* event) override {
    const bool hadFocus = hasFocus();
    QLineEdit::mousePressEvent(event);
    if (keyField && hadFocus && !focusReported_ && event->button() == Qt::LeftButton) {
      focusReported_ = true;
      if (onFocusIn) onFocusIn();
    }
  }

 private:
  bool focusReported_ = false;
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
