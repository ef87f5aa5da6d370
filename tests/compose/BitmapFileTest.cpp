#include "BitmapFile.h"
#include "Composite.h"
#include "Support.h"
#include "clsQRCode.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <csignal>
#include <sys/resource.h>

namespace zub {
namespace {

QImage SampleComposite() {
  clsQRCode encoder;
  const auto message = test::BytesOf("http://www.zub.cn");
  return ComposeQRPicture(encoder.MakeSymbol(message.data(), static_cast<int>(message.size()), 0,
                                             kLevelM, 0, KanjiMode::Excluded),
                          test::SampleLogo());
}

QByteArray ReadAll(const QString &path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

std::uint32_t Le32(const QByteArray &d, int at) {
  return static_cast<std::uint32_t>(
      static_cast<std::uint8_t>(d[at]) | static_cast<std::uint8_t>(d[at + 1]) << 8 |
      static_cast<std::uint8_t>(d[at + 2]) << 16 | static_cast<std::uint8_t>(d[at + 3]) << 24);
}

class BitmapFile : public ::testing::Test {
protected:
  QStringList Entries() const {
    return QDir(dir_.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
  }
  QTemporaryDir dir_;
  QImage composite_ = SampleComposite();
};

TEST_F(BitmapFile, WritesAnUncompressedBitmapWhateverTheName) {
  for (const QString &name : {QStringLiteral("二维码.jpg"), QStringLiteral("二维码")}) {
    const QString path = dir_.filePath(name);
    QString reason = QStringLiteral("stale");
    ASSERT_TRUE(WriteBitmapFile(composite_, path, reason)) << reason.toStdString();
    EXPECT_TRUE(reason.isEmpty());
    const QByteArray file = ReadAll(path);
    ASSERT_TRUE(file.startsWith("BM"));
    const int stride = (552 * 3 + 3) & ~3;
    EXPECT_EQ(file.size(), 54 + stride * 409);
    EXPECT_EQ(Le32(file, 2), static_cast<std::uint32_t>(file.size()));
    EXPECT_EQ(Le32(file, 18), 552u);
    EXPECT_EQ(Le32(file, 22), 409u); // positive: bottom-up rows
    EXPECT_EQ(Le32(file, 28) & 0xFFFF, 24u);
    EXPECT_EQ(Le32(file, 30), 0u); // no compression
    // The first pixel stored is the bottom-left one, blue first.
    const QRgb bottomLeft = composite_.pixel(0, 408);
    EXPECT_EQ(static_cast<std::uint8_t>(file[54]), qBlue(bottomLeft));
    EXPECT_EQ(static_cast<std::uint8_t>(file[56]), qRed(bottomLeft));
    // Every pixel survives, as any bitmap reader sees it.
    EXPECT_EQ(QImage::fromData(file, "BMP").convertToFormat(QImage::Format_RGB32), composite_);
  }
  EXPECT_EQ(Entries(), (QStringList{QStringLiteral("二维码"), QStringLiteral("二维码.jpg")}));
}

TEST_F(BitmapFile, ReplacesAnExistingFileWithoutLeavingAnythingElse) {
  const QString path = dir_.filePath("old.bmp");
  {
    QFile old(path);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write(QByteArray(2'000'000, 'x'));
  }
  QString reason;
  ASSERT_TRUE(WriteBitmapFile(composite_, path, reason)) << reason.toStdString();
  EXPECT_EQ(QImage(path).convertToFormat(QImage::Format_RGB32), composite_);
  EXPECT_EQ(Entries(), QStringList{QStringLiteral("old.bmp")});
}

TEST_F(BitmapFile, FailsWithAReasonAndWritesNothing) {
  ASSERT_TRUE(QDir(dir_.path()).mkdir(QStringLiteral("a folder")));
  struct Case {
    QString path;
    const char *reason;
  };
  for (const Case &c :
       {Case{dir_.filePath("no such folder/二维码.bmp"), "文件夹不存在"},
        Case{dir_.filePath("a folder"), "同名的文件夹"}, Case{QString(), "没有给出文件名"}}) {
    QString reason;
    EXPECT_FALSE(WriteBitmapFile(composite_, c.path, reason));
    EXPECT_TRUE(reason.contains(QString::fromUtf8(c.reason))) << reason.toStdString();
  }
  EXPECT_EQ(Entries(), QStringList{QStringLiteral("a folder")});
  QString reason;
  EXPECT_FALSE(WriteBitmapFile(QImage(), dir_.filePath("x.bmp"), reason));
  EXPECT_FALSE(reason.isEmpty());
}

// A write that fails half-way (here: the process may not write files larger
// than 100 kB) leaves the existing file exactly as it was.
TEST_F(BitmapFile, FailedWriteLeavesTheExistingFileIntact) {
  const QString path = dir_.filePath("keep.bmp");
  const QByteArray original(50'000, 'k');
  {
    QFile old(path);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write(original);
  }
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  rlimit small = saved;
  small.rlim_cur = 100'000;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  QString reason;
  const bool written = WriteBitmapFile(composite_, path, reason);
  setrlimit(RLIMIT_FSIZE, &saved);

  EXPECT_FALSE(written);
  EXPECT_FALSE(reason.isEmpty());
  EXPECT_EQ(ReadAll(path), original);
  EXPECT_EQ(Entries(), QStringList{QStringLiteral("keep.bmp")});
}

} // namespace
} // namespace zub
