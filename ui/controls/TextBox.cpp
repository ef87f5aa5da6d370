#include "TextBox.h"

#include <QFocusEvent>
#include <QMouseEvent>

namespace zub {

TextBox::TextBox(QWidget *parent) : QPlainTextEdit(parent) {}

void TextBox::focusInEvent(QFocusEvent *event) {
  QPlainTextEdit::focusInEvent(event);
  focusByMouse_ = event->reason() == Qt::MouseFocusReason;
  emit gotFocus();
}

// The click that brings the focus would place the cursor (on press, or on
// release when it lands in the selection); the whole text is selected all
// the same.
void TextBox::mousePressEvent(QMouseEvent *event) {
  QPlainTextEdit::mousePressEvent(event);
  if (focusByMouse_)
    emit gotFocus();
}

void TextBox::mouseReleaseEvent(QMouseEvent *event) {
  QPlainTextEdit::mouseReleaseEvent(event);
  if (focusByMouse_) {
    focusByMouse_ = false;
    emit gotFocus();
  }
}

} // namespace zub
