#pragma once

#include <QImage>
#include <QWidget>

namespace zub {

// An image control: shows one picture, at its natural size from the top-left
// corner or, with stretch on, scaled to the control's size without smoothing.
// Empty until a picture is set; hasPicture() is the test the commands use to
// tell whether a code has been generated.
class ImageControl : public QWidget {
  Q_OBJECT

public:
  explicit ImageControl(QWidget *parent = nullptr);

  QImage picture() const { return picture_; }
  // Shows `picture` from now on; a null image shows nothing. Setting the
  // picture the control already shows does not repaint.
  void setPicture(const QImage &picture);
  bool hasPicture() const { return !picture_.isNull(); }

  bool stretch() const { return stretch_; }
  void setStretch(bool on);

  void repaintNow() { repaint(); }

signals:
  void mousePressed(QMouseEvent *event);
  void mouseMoved(QMouseEvent *event);
  void mouseReleased(QMouseEvent *event);

protected:
  void paintEvent(QPaintEvent *event) override;
  void mousePressEvent(QMouseEvent *event) override;
  void mouseMoveEvent(QMouseEvent *event) override;
  void mouseReleaseEvent(QMouseEvent *event) override;

private:
  QImage picture_;
  bool stretch_ = false;
};

} // namespace zub
