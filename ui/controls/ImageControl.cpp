#include "ImageControl.h"

#include <QMouseEvent>
#include <QPainter>

namespace zub {

ImageControl::ImageControl(QWidget *parent) : QWidget(parent) {}

void ImageControl::setPicture(const QImage &picture) {
  // The title-bar faces are reassigned on every timer tick; only a real
  // change may cost a repaint.
  if (picture.isNull() == picture_.isNull() && picture.cacheKey() == picture_.cacheKey())
    return;
  picture_ = picture;
  update();
}

void ImageControl::setStretch(bool on) {
  if (stretch_ == on)
    return;
  stretch_ = on;
  update();
}

void ImageControl::paintEvent(QPaintEvent *) {
  if (picture_.isNull())
    return;
  QPainter p(this);
  if (stretch_)
    p.drawImage(rect(), picture_);
  else
    p.drawImage(0, 0, picture_);
}

void ImageControl::mousePressEvent(QMouseEvent *event) {
  emit mousePressed(event);
}
void ImageControl::mouseMoveEvent(QMouseEvent *event) {
  emit mouseMoved(event);
}
void ImageControl::mouseReleaseEvent(QMouseEvent *event) {
  emit mouseReleased(event);
}

} // namespace zub
