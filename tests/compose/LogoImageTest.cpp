#include "LogoImage.h"
#include "Support.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageWriter>
#include <QTemporaryDir>

namespace zub {
namespace {

QByteArray Encoded(const QImage &image, const char *format, bool progressive = false) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter writer(&buffer, format);
  writer.setProgressiveScanWrite(progressive);
  EXPECT_TRUE(writer.write(image)) << format;
  return bytes;
}

class LogoFiles : public ::testing::Test {
protected:
  QString Write(const QString &name, const QByteArray &bytes) {
    const QString path = dir_.filePath(name);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    return path;
  }
  QTemporaryDir dir_;
  QImage logo_ = test::SampleLogo();
};

TEST_F(LogoFiles, ReadsJpegBmpAndPngByContentWhateverTheName) {
  struct Case {
    const char *name;
    QByteArray bytes;
    bool exact;
  };
  QByteArray jpegWithTrailer = Encoded(logo_, "jpg");
  jpegWithTrailer.append("appended data after the end-of-image marker");
  for (const Case &c :
       {Case{"photo.JPG", Encoded(logo_, "jpg"), false},
        Case{"progressive.jpg", Encoded(logo_, "jpg", true), false},
        Case{"trailer.jpg", jpegWithTrailer, false}, Case{"logo.bmp", Encoded(logo_, "bmp"), true},
        Case{"logo.png", Encoded(logo_, "png"), true},
        Case{"png named.jpg", Encoded(logo_, "png"), true},
        Case{" leading space.bmp", Encoded(logo_, "bmp"), true}}) {
    const LogoLoad load = LoadLogo(Write(c.name, c.bytes));
    EXPECT_TRUE(load.error.isEmpty()) << c.name << ": " << load.error.toStdString();
    ASSERT_EQ(load.image.size(), logo_.size()) << c.name;
    if (c.exact) {
      EXPECT_EQ(load.image.convertToFormat(QImage::Format_RGB32), logo_) << c.name;
    } else {
      const QRgb got = load.image.pixel(80, 30), want = logo_.pixel(80, 30);
      EXPECT_NEAR(qRed(got), qRed(want), 24) << c.name;
      EXPECT_NEAR(qBlue(got), qBlue(want), 24) << c.name;
    }
  }
}

TEST_F(LogoFiles, RefusesWhatItCannotReadWithTheReasonAndThePath) {
  const QByteArray jpeg = Encoded(logo_, "jpg");
  const QByteArray progressive = Encoded(logo_, "jpg", true);
  const QByteArray bmp = Encoded(logo_, "bmp");
  const QByteArray png = Encoded(logo_, "png");
  // A bitmap header announcing 10000 x 9000 pixels, without the pixels.
  QByteArray huge = bmp.left(54);
  huge[18] = char(0x10), huge[19] = char(0x27), huge[20] = 0, huge[21] = 0;
  huge[22] = char(0x28), huge[23] = char(0x23), huge[24] = 0, huge[25] = 0;
  ASSERT_TRUE(QDir(dir_.path()).mkdir("folder.jpg"));

  struct Case {
    QString path;
    const char *reason;
  };
  for (const Case &c : {
           Case{dir_.filePath("missing.jpg"), "找不到"},
           Case{dir_.filePath("folder.jpg"), "不是图片文件"},
           Case{Write("empty.jpg", QByteArray()), "不是可以识别的图片"},
           Case{Write("notes.bmp", "just some text, not a picture"), "不是可以识别的图片"},
           Case{Write("cut.jpg", jpeg.left(jpeg.size() * 6 / 10)), "不完整"},
           Case{Write("cut-progressive.jpg", progressive.left(progressive.size() - 40)), "不完整"},
           Case{Write("cut.bmp", bmp.left(bmp.size() - 1)), "不完整"},
           Case{Write("cut.png", png.left(png.size() / 2)), "不完整"},
           Case{Write("huge.bmp", huge), "太大"},
       }) {
    const LogoLoad load = LoadLogo(c.path);
    EXPECT_TRUE(load.image.isNull()) << c.path.toStdString();
    EXPECT_TRUE(load.error.contains(QString::fromUtf8(c.reason)))
        << c.path.toStdString() << ": " << load.error.toStdString();
    EXPECT_TRUE(load.error.endsWith(c.path)) << load.error.toStdString();
  }
}

} // namespace
} // namespace zub
