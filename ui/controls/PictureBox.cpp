#include "PictureBox.h"

#include <QMouseEvent>
#include <QPainter>

namespace zub {

PictureBox::PictureBox(DrawMode mode, QWidget *parent) : QWidget(parent), mode_(mode) {
  setAttribute(Qt::WA_OpaquePaintEvent);
}

QSize PictureBox::area() const {
  return size().expandedTo(QSize(1, 1));
}

QImage PictureBox::blankImage() const {
  QImage blank(area(), QImage::Format_RGB32);
  blank.fill(background_);
  if (!picture_.isNull()) {
    QPainter p(&blank);
    p.drawImage(0, 0, picture_);
  }
  return blank;
}

void PictureBox::setBackgroundColor(const QColor &colour) {
  background_ = colour;
  image_ = QImage();
  screen_ = QImage();
  update();
}

void PictureBox::setBackgroundPicture(const QImage &picture) {
  picture_ = picture;
  image_ = QImage();
  screen_ = QImage();
  update();
}

void PictureBox::paintInto(QImage &target, const QImage &picture, const QRect &to) const {
  QPainter p(&target);
  // No SmoothPixmapTransform: scaling picks the nearest source pixel.
  if (!clip_.isEmpty())
    p.setClipRegion(clip_);
  p.drawImage(to, picture);
}

void PictureBox::drawPicture(const QImage &picture, int x, int y) {
  if (!picture.isNull())
    drawPicture(picture, x, y, picture.width(), picture.height());
}

void PictureBox::drawPicture(const QImage &picture, int x, int y, int width, int height) {
  if (picture.isNull() || width <= 0 || height <= 0)
    return;
  const QRect to(x, y, width, height);
  if (mode_ == DrawMode::Persistent) {
    if (image_.isNull())
      image_ = blankImage();
    paintInto(image_, picture, to);
  } else {
    if (screen_.isNull()) {
      screen_ = QImage(area(), QImage::Format_ARGB32_Premultiplied);
      screen_.fill(Qt::transparent);
    }
    paintInto(screen_, picture, to);
  }
  update();
}

void PictureBox::clear() {
  if (mode_ == DrawMode::Persistent)
    image_ = QImage();
  screen_ = QImage();
  update();
}

void PictureBox::setImage(const QImage &image) {
  if (image.size() == area() && image.format() == QImage::Format_RGB32) {
    image_ = image;
  } else {
    QImage fitted(area(), QImage::Format_RGB32);
    fitted.fill(background_);
    QPainter p(&fitted);
    p.drawImage(0, 0, image);
    p.end();
    image_ = fitted;
  }
  update();
}

QImage PictureBox::image() const {
  return image_.isNull() ? blankImage() : image_;
}

QImage PictureBox::shownImage() const {
  if (screen_.isNull())
    return image();
  QImage shown = image().copy();
  QPainter p(&shown);
  p.drawImage(0, 0, screen_);
  return shown;
}

void PictureBox::setOuterSize(int width, int height) {
  resize(width, height);
  followSize(); // a hidden box gets its resize event only when it shows
}

void PictureBox::resizeEvent(QResizeEvent *event) {
  QWidget::resizeEvent(event);
  followSize();
}

void PictureBox::followSize() {
  if (image_.isNull()) { // still blank: it is made at the new size when needed
    if (screen_.size() != area())
      screen_ = QImage();
    return;
  }
  if (image_.size() == area())
    return;
  QImage grown(area(), QImage::Format_RGB32);
  grown.fill(background_);
  QPainter p(&grown);
  p.drawImage(0, 0, image_);
  p.end();
  image_ = grown;
  screen_ = QImage();
}

void PictureBox::setShape(const QRegion &shape) {
  if (shape.isEmpty())
    clearMask();
  else
    setMask(shape);
}

void PictureBox::paintEvent(QPaintEvent *event) {
  QPainter p(this);
  p.setClipRegion(event->region());
  if (image_.isNull()) {
    p.fillRect(rect(), background_);
    p.drawImage(0, 0, picture_);
  } else {
    p.drawImage(0, 0, image_);
  }
  if (!screen_.isNull())
    p.drawImage(0, 0, screen_);
}

void PictureBox::mousePressEvent(QMouseEvent *event) {
  emit mousePressed(event);
}
void PictureBox::mouseMoveEvent(QMouseEvent *event) {
  emit mouseMoved(event);
}
void PictureBox::mouseReleaseEvent(QMouseEvent *event) {
  emit mouseReleased(event);
}

} // namespace zub
