// The committed pictures: the sample and the promotional code must scan, on
// their own and as the window shows them.

#include "Addresses.h"
#include "MainWindow.h"
#include "OwnPictures.h"
#include "TestSupport.h"
#include "WindowProbe.h"

#include <QDirIterator>
#include <QFile>
#include <QImage>

#include <gtest/gtest.h>

namespace {

std::vector<std::string> Decode(const QImage &image) {
  std::vector<std::string> texts;
  for (const zub::test::Decoded &d : zub::test::DecodeAll(image, ""))
    texts.push_back(d.text.toStdString());
  return texts;
}

} // namespace

TEST(Assets, SampleCanvasIsAScannableCodeOfTheStudiosAddress) {
  const QImage sample(QStringLiteral(":/assets/sample-canvas.png"));
  ASSERT_EQ(sample.size(), QSize(550, 407));
  EXPECT_EQ(Decode(sample), std::vector<std::string>{zub::kStudioAddress});
}

TEST(Assets, BackgroundCarriesItsPromotionalCode) {
  const QImage background(QStringLiteral(":/assets/background.png"));
  ASSERT_EQ(background.size(), QSize(554, 600));
  EXPECT_FALSE(background.hasAlphaChannel());
  EXPECT_EQ(background.pixelColor(5, 5), QColor(0x30, 0x91, 0xF2));   // title band
  EXPECT_EQ(background.pixelColor(5, 100), QColor(0xF0, 0xF0, 0xF0)); // body
  EXPECT_EQ(background.pixelColor(5, 126), QColor(0x30, 0x91, 0xF2)); // line under the input
  EXPECT_EQ(background.pixelColor(434, 100), QColor(0x30, 0x91, 0xF2));
  EXPECT_EQ(background.pixelColor(500, 599), QColor(0x30, 0x91, 0xF2)); // bottom band
  // The promotional code sits in the bottom band.
  EXPECT_EQ(Decode(background.copy(0, 530, 80, 70)),
            std::vector<std::string>{"HTTP://WWW.ZUB.EXAMPLE"});
}

TEST(Assets, CanvasAsTheWindowShowsItScans) {
  zub::MainWindow form;
  // The default logo box lies over the sample's centre.
  const QImage shown = Probe(form).canvas()->grab().toImage();
  EXPECT_EQ(Decode(shown), std::vector<std::string>{zub::kStudioAddress});
}

TEST(Assets, PrefetchedPicturesAreExactlyWhatQtReads) {
  // The window's pictures are decoded by libpng ahead of time; any
  // difference in format or pixels from Qt's own reading would show.
  zub::PrefetchOwnPictures();
  int seen = 0;
  QDirIterator it(QStringLiteral(":/assets/"), QDir::Files);
  while (it.hasNext()) {
    const QString path = it.next();
    const QImage expected(path);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QImage prefetched = zub::DecodePng(file.readAll());
    ASSERT_FALSE(prefetched.isNull()) << path.toStdString();
    EXPECT_EQ(prefetched.format(), expected.format()) << path.toStdString();
    EXPECT_EQ(prefetched, expected) << path.toStdString();
    ++seen;
  }
  EXPECT_GT(seen, 0);
  EXPECT_TRUE(zub::DecodePng("\x89PNG\r\n\x1a\n broken").isNull());
  // Handed out once each, then read anew: the same pictures either way.
  const QImage background(QStringLiteral(":/assets/background.png"));
  EXPECT_EQ(zub::OwnPicture(QStringLiteral("background.png")), background);
  EXPECT_EQ(zub::OwnPicture(QStringLiteral("background.png")), background);
  EXPECT_TRUE(zub::OwnPicture(QStringLiteral("no-such-picture.png")).isNull());
}
