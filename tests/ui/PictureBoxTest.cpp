#include "PictureBox.h"
#include "ImageControl.h"

#include <QPainter>

#include <gtest/gtest.h>

using zub::ImageControl;
using zub::PictureBox;

namespace {

QImage Filled(int w, int h, QColor colour) {
  QImage image(w, h, QImage::Format_RGB32);
  image.fill(colour);
  return image;
}

// A box 40 x 30, background red, background picture a 10 x 10 blue square.
struct Box {
  explicit Box(PictureBox::DrawMode mode) : box(mode) {
    box.resize(40, 30);
    box.setBackgroundColor(Qt::red);
    box.setBackgroundPicture(Filled(10, 10, Qt::blue));
  }
  PictureBox box;
};

} // namespace

TEST(PictureBox, ClearShowsBackgroundColourWithBackgroundPicture) {
  Box b(PictureBox::DrawMode::Persistent);
  b.box.drawPicture(Filled(40, 30, Qt::green), 0, 0);
  b.box.clear();
  const QImage image = b.box.image();
  EXPECT_EQ(image.size(), QSize(40, 30));
  EXPECT_EQ(image.pixelColor(5, 5), QColor(Qt::blue));
  EXPECT_EQ(image.pixelColor(20, 20), QColor(Qt::red));
  // What the screen shows, too, and at a new size, where the picture still
  // sits at the top left.
  b.box.setOuterSize(50, 35);
  const QImage shown = b.box.grab().toImage();
  EXPECT_EQ(shown.size(), QSize(50, 35));
  EXPECT_EQ(shown.pixelColor(5, 5), QColor(Qt::blue));
  EXPECT_EQ(shown.pixelColor(45, 30), QColor(Qt::red));
  EXPECT_EQ(b.box.image().size(), QSize(50, 35));
}

TEST(PictureBox, PersistentDrawingStaysThroughRepaints) {
  Box b(PictureBox::DrawMode::Persistent);
  b.box.drawPicture(Filled(5, 5, Qt::green), 20, 10);
  b.box.repaintNow();
  EXPECT_EQ(b.box.image().pixelColor(22, 12), QColor(Qt::green));
  EXPECT_EQ(b.box.grab().toImage().pixelColor(22, 12), QColor(Qt::green));
}

TEST(PictureBox, ScreenDrawingLeavesTheBackingImageAndClearDropsIt) {
  Box b(PictureBox::DrawMode::Screen);
  b.box.drawPicture(Filled(5, 5, Qt::green), 20, 10);
  EXPECT_EQ(b.box.shownImage().pixelColor(22, 12), QColor(Qt::green));
  EXPECT_EQ(b.box.image().pixelColor(22, 12), QColor(Qt::red));
  b.box.clear();
  EXPECT_EQ(b.box.shownImage(), b.box.image());
  EXPECT_EQ(b.box.grab().toImage().pixelColor(22, 12), QColor(Qt::red));
}

TEST(PictureBox, EnlargingMakesSolidBlocksWithoutSmoothing) {
  QImage two(2, 1, QImage::Format_RGB32);
  two.setPixel(0, 0, qRgb(0, 0, 0));
  two.setPixel(1, 0, qRgb(255, 255, 255));
  PictureBox box(PictureBox::DrawMode::Persistent);
  box.resize(9, 3);
  box.drawPicture(two, 1, 0, 8, 3); // each source pixel becomes 4 x 3
  const QImage image = box.image();
  for (int y = 0; y < 3; ++y)
    for (int x = 1; x < 9; ++x)
      EXPECT_EQ(qGray(image.pixel(x, y)), x < 5 ? 0 : 255) << x << "," << y;
}

TEST(PictureBox, DrawingIsClippedToTheClipRegion) {
  Box b(PictureBox::DrawMode::Persistent);
  b.box.setClipRegion(QRegion(0, 0, 10, 30));
  b.box.drawPicture(Filled(40, 30, Qt::green), 0, 0);
  EXPECT_EQ(b.box.image().pixelColor(5, 20), QColor(Qt::green));
  EXPECT_EQ(b.box.image().pixelColor(15, 20), QColor(Qt::red));
}

TEST(PictureBox, NewOuterSizeKeepsContentAndShowsBackgroundColourInTheNewArea) {
  Box b(PictureBox::DrawMode::Persistent);
  b.box.drawPicture(Filled(40, 30, Qt::green), 0, 0);
  b.box.setOuterSize(60, 20);
  const QImage image = b.box.image();
  EXPECT_EQ(image.size(), QSize(60, 20));
  EXPECT_EQ(image.pixelColor(39, 19), QColor(Qt::green));
  EXPECT_EQ(image.pixelColor(45, 5), QColor(Qt::red));
}

TEST(PictureBox, ReplacedBackingImageIsFittedToTheDrawingArea) {
  Box b(PictureBox::DrawMode::Screen);
  b.box.setImage(Filled(50, 10, Qt::green));
  const QImage image = b.box.image();
  EXPECT_EQ(image.size(), QSize(40, 30));
  EXPECT_EQ(image.pixelColor(39, 5), QColor(Qt::green));
  EXPECT_EQ(image.pixelColor(5, 20), QColor(Qt::red));
}

TEST(PictureBox, ShapeMakesTheRestTransparent) {
  PictureBox box(PictureBox::DrawMode::Screen);
  box.resize(20, 20);
  box.setShape(QRegion(0, 0, 10, 10, QRegion::Ellipse));
  EXPECT_TRUE(box.mask().contains(QPoint(5, 5)));
  EXPECT_FALSE(box.mask().contains(QPoint(15, 15)));
  box.setShape(QRegion());
  EXPECT_TRUE(box.mask().isEmpty());
}

TEST(ImageControl, HoldsAPictureOrNothingAndStretchesWithoutSmoothing) {
  ImageControl control;
  control.resize(8, 8);
  EXPECT_FALSE(control.hasPicture());

  QImage two(2, 1, QImage::Format_RGB32);
  two.setPixel(0, 0, qRgb(0, 0, 0));
  two.setPixel(1, 0, qRgb(255, 255, 255));
  control.setPicture(two);
  control.setStretch(true);
  EXPECT_TRUE(control.hasPicture());
  const QImage shown = control.grab().toImage();
  EXPECT_EQ(qGray(shown.pixel(3, 7)), 0);
  EXPECT_EQ(qGray(shown.pixel(4, 0)), 255);

  control.setPicture(QImage());
  EXPECT_FALSE(control.hasPicture());
}
