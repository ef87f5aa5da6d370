#pragma once

#include <QColor>
#include <QImage>
#include <QRegion>
#include <QWidget>

namespace zub {

// A picture box: a control with a background colour, an optional background
// picture and a backing image, the bitmap it shows when it repaints.
//
// Its drawing area is its whole size (the box has no border), origin at the
// top-left corner. In persistent mode drawing goes into the backing image and
// stays; in screen mode it goes to a screen layer over the backing image that
// clear() drops again.
class PictureBox : public QWidget {
  Q_OBJECT

public:
  enum class DrawMode { Persistent, Screen };

  explicit PictureBox(DrawMode mode, QWidget *parent = nullptr);

  DrawMode drawMode() const { return mode_; }

  QColor backgroundColor() const { return background_; }
  // Clears the box to the new colour with the background picture.
  void setBackgroundColor(const QColor &colour);

  // The picture drawn at (0, 0), at its natural size, over the background
  // colour whenever the box is cleared. Setting it clears the box; a null
  // image shows nothing but the colour.
  QImage backgroundPicture() const { return picture_; }
  void setBackgroundPicture(const QImage &picture);

  // Draws the whole picture with its top-left corner at (x, y), at its
  // natural size or scaled to width x height (both axes independently).
  // Enlarging never smooths: every source pixel becomes a solid block.
  // A null picture draws nothing.
  void drawPicture(const QImage &picture, int x, int y);
  void drawPicture(const QImage &picture, int x, int y, int width, int height);

  // Later drawing is clipped to `region` (drawing-area coordinates); an empty
  // region lifts the clip.
  void setClipRegion(const QRegion &region) { clip_ = region; }

  // Persistent mode: the backing image becomes background colour with the
  // background picture. Screen mode: the screen layer is dropped, the backing
  // image shows again.
  void clear();

  // The backing image: RGB32, exactly the size of the drawing area. A box
  // that was only ever cleared holds none: it is made when drawn into or
  // asked for, so boxes nobody draws in cost no picture's memory.
  QImage image() const;
  // Replaces the backing image; it is cut or padded with the background
  // colour to the drawing area.
  void setImage(const QImage &image);
  // What the box shows now: the backing image with the screen layer over it.
  QImage shownImage() const;

  // Sets the outer size; the drawing area follows. The backing image keeps
  // its content at the top-left; new area shows the background colour.
  void setOuterSize(int width, int height);

  // The window shape: outside `shape` the box is transparent to the eye and
  // the mouse. An empty region makes the box rectangular again.
  void setShape(const QRegion &shape);

  // Redraws the box at once.
  void repaintNow() { repaint(); }

signals:
  void mousePressed(QMouseEvent *event);
  void mouseMoved(QMouseEvent *event);
  void mouseReleased(QMouseEvent *event);

protected:
  void paintEvent(QPaintEvent *event) override;
  void resizeEvent(QResizeEvent *event) override;
  void mousePressEvent(QMouseEvent *event) override;
  void mouseMoveEvent(QMouseEvent *event) override;
  void mouseReleaseEvent(QMouseEvent *event) override;

private:
  QSize area() const;
  QImage blankImage() const;
  void followSize();
  void paintInto(QImage &target, const QImage &picture, const QRect &to) const;

  DrawMode mode_;
  QColor background_{Qt::white};
  QImage picture_;
  QImage image_;  // null while blank
  QImage screen_; // screen mode only: what was drawn since the last clear
  QRegion clip_;
};

} // namespace zub
