#pragma once

#include <QPlainTextEdit>

namespace zub {

// The multi-line text box whose whole text is selected whenever it receives
// the focus, by keyboard or by mouse, so the first key typed replaces it.
class TextBox : public QPlainTextEdit {
  Q_OBJECT

public:
  explicit TextBox(QWidget *parent = nullptr);

signals:
  void gotFocus();

protected:
  void focusInEvent(QFocusEvent *event) override;
  void mousePressEvent(QMouseEvent *event) override;
  void mouseReleaseEvent(QMouseEvent *event) override;

private:
  bool focusByMouse_ = false;
};

} // namespace zub
