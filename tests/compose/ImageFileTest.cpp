#include "ImageFile.h"
#include "BitmapFile.h"
#include "Composite.h"
#include "DiskFaults.h"
#include "JpegQuality.h"
#include "QrEncoder.h"
#include "TestSupport.h"
#include "WriteWords.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <iostream>
#include <map>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace zub {
namespace {

// The writer reports a code; `reason` gets the words a front end would
// show for it in `language`.
bool WriteWithWords(const QImage &image, const QString &path, ImageFileFormat format,
                    QString &reason, Language language = Language::Chinese) {
  const WriteResult result = WriteImageFile(image, path, format);
  reason = QString::fromStdString(WriteFailureWords(result, language));
  return static_cast<bool>(result);
}

QImage SampleComposite() {
  QrEncoder encoder;
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

class ImageFile : public ::testing::Test {
protected:
  QStringList Entries() const {
    return QDir(dir_.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
  }
  QTemporaryDir dir_;
  QImage composite_ = SampleComposite();
};

TEST_F(ImageFile, WritesAnUncompressedBitmapWhateverTheName) {
  for (const QString &name : {QStringLiteral("二维码.jpg"), QStringLiteral("二维码")}) {
    const QString path = dir_.filePath(name);
    QString reason = QStringLiteral("stale");
    ASSERT_TRUE(WriteWithWords(composite_, path, ImageFileFormat::Bmp, reason))
        << reason.toStdString();
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

TEST_F(ImageFile, ReplacesAnExistingFileWithoutLeavingAnythingElse) {
  const QString path = dir_.filePath("old.bmp");
  {
    QFile old(path);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write(QByteArray(2'000'000, 'x'));
  }
  QString reason;
  ASSERT_TRUE(WriteWithWords(composite_, path, ImageFileFormat::Bmp, reason))
      << reason.toStdString();
  EXPECT_EQ(QImage(path).convertToFormat(QImage::Format_RGB32), composite_);
  EXPECT_EQ(Entries(), QStringList{QStringLiteral("old.bmp")});
}

TEST_F(ImageFile, FailsWithAReasonAndWritesNothing) {
  ASSERT_TRUE(QDir(dir_.path()).mkdir(QStringLiteral("a folder")));
  struct Case {
    QString path;
    const char *reason;
  };
  for (const Case &c :
       {Case{dir_.filePath("no such folder/二维码.bmp"), "文件夹不存在"},
        Case{dir_.filePath("a folder"), "同名的文件夹"}, Case{QString(), "没有给出文件名"}}) {
    QString reason;
    EXPECT_FALSE(WriteWithWords(composite_, c.path, ImageFileFormat::Bmp, reason));
    EXPECT_TRUE(reason.contains(QString::fromUtf8(c.reason))) << reason.toStdString();
  }
  EXPECT_EQ(Entries(), QStringList{QStringLiteral("a folder")});
  QString reason;
  EXPECT_FALSE(WriteWithWords(QImage(), dir_.filePath("x.bmp"), ImageFileFormat::Bmp, reason));
  EXPECT_FALSE(reason.isEmpty());
}

// Which format a save by name gets: the window's save dialog goes by it.
TEST(ImageFileFormatForName, GoesBySuffixAndElseBitmap) {
  struct Case {
    const char *name;
    ImageFileFormat format;
  };
  for (const Case &c :
       {Case{"a.jpg", ImageFileFormat::Jpeg}, Case{"/x/二维码.JPEG", ImageFileFormat::Jpeg},
        Case{"b.png", ImageFileFormat::Png}, Case{"c.PnG", ImageFileFormat::Png},
        Case{"二维码", ImageFileFormat::Bmp}, Case{"x.bmp", ImageFileFormat::Bmp},
        Case{"x.gif", ImageFileFormat::Bmp}, Case{"x.jpg.bak", ImageFileFormat::Bmp},
        Case{"a.png/b", ImageFileFormat::Bmp}, Case{".png", ImageFileFormat::Png}})
    EXPECT_EQ(ImageFileFormatForName(QString::fromUtf8(c.name)), c.format) << c.name;
}

// Each format holds the picture: bitmap and PNG pixel for pixel, JPEG close
// enough to read, with colour planes at full size (4:4:4).
TEST_F(ImageFile, EachFormatHoldsThePicture) {
  struct Case {
    ImageFileFormat format;
    const char *magic;
    bool exact;
  };
  for (const Case &c :
       {Case{ImageFileFormat::Bmp, "BM", true}, Case{ImageFileFormat::Png, "\x89PNG", true},
        Case{ImageFileFormat::Jpeg, "\xFF\xD8\xFF", false}}) {
    const QString path = dir_.filePath("out");
    QString reason;
    ASSERT_TRUE(WriteWithWords(composite_, path, c.format, reason)) << reason.toStdString();
    const QByteArray file = ReadAll(path);
    EXPECT_TRUE(file.startsWith(c.magic)) << c.magic;
    const QImage back = QImage::fromData(file).convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(back.size(), composite_.size());
    if (c.exact) {
      EXPECT_EQ(back, composite_);
    } else {
      // Baseline frame: three components, each sampled 1 x 1.
      const qsizetype sof = file.indexOf("\xFF\xC0");
      ASSERT_GT(sof, 0);
      ASSERT_EQ(static_cast<std::uint8_t>(file[sof + 9]), 3);
      for (int k = 0; k < 3; ++k)
        EXPECT_EQ(static_cast<std::uint8_t>(file[sof + 11 + 3 * k]), 0x11) << "component " << k;
      int worst = 0;
      for (int y = 0; y < back.height(); ++y)
        for (int x = 0; x < back.width(); ++x)
          worst =
              std::max(worst, std::abs(qGray(back.pixel(x, y)) - qGray(composite_.pixel(x, y))));
      EXPECT_LT(worst, 64);
    }
    const auto found = test::DecodeAll(back);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].bytes, test::BytesOf("http://www.zub.cn"));
    EXPECT_EQ(Entries(), QStringList{QStringLiteral("out")});
  }
}

// A JPEG is written at quality 95, which keeps the modules' edges crisp:
// both quantisation tables of the file are the standard ones scaled for 95
// (a decoder reads a file of quality 75 as well, and a comparison of the
// writer with itself would not tell).
TEST_F(ImageFile, AJpegIsWrittenAtQuality95) {
  const QString path = dir_.filePath("quality.jpg");
  QString reason;
  ASSERT_TRUE(WriteWithWords(composite_, path, ImageFileFormat::Jpeg, reason))
      << reason.toStdString();
  const QByteArray file = ReadAll(path);
  const std::map<int, int> qualities =
      test::JpegTableQualities(std::string_view(file.constData(), std::size_t(file.size())));
  EXPECT_EQ(qualities, (std::map<int, int>{{0, 95}, {1, 95}}));
}

// A write that fails part-way, in every format: the process may not write
// files larger than 4 kB (smaller than any of the three files), or the disk
// fills half-way. The failure is reported, the existing file keeps every
// byte and no temporary file stays behind.
using test::kDiskFills;

TEST_F(ImageFile, AWriteThatFailsPartWayLeavesTheOldFileWhole) {
  enum class Fault { FileSizeLimit, DiskFull };
  struct Case {
    ImageFileFormat format;
    Fault fault;
    const char *chinese;
    const char *english;
  };
  const QString path = dir_.filePath("keep.png");
  const QByteArray original(3'000, 'k');
  for (const Case &c :
       {Case{ImageFileFormat::Bmp, Fault::FileSizeLimit, "文件超出了允许的大小",
             "larger than allowed"},
        Case{ImageFileFormat::Png, Fault::FileSizeLimit, "文件超出了允许的大小",
             "larger than allowed"},
        Case{ImageFileFormat::Jpeg, Fault::FileSizeLimit, "文件超出了允许的大小",
             "larger than allowed"},
        Case{ImageFileFormat::Bmp, Fault::DiskFull, "磁盘空间不足", "disk is full"},
        Case{ImageFileFormat::Png, Fault::DiskFull, "磁盘空间不足", "disk is full"},
        Case{ImageFileFormat::Jpeg, Fault::DiskFull, "磁盘空间不足", "disk is full"}}) {
    for (Language language : {Language::Chinese, Language::English}) {
      SCOPED_TRACE(testing::Message() << static_cast<int>(c.format) << " " << c.english);
      {
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write(original);
      }
      rlimit saved{};
      ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
      if (c.fault == Fault::FileSizeLimit) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = saved;
        small.rlim_cur = 4096;
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
      } else {
        SetFileWriterCallsForTesting(&kDiskFills);
      }
      QString reason;
      const bool written = WriteWithWords(composite_, path, c.format, reason, language);
      setrlimit(RLIMIT_FSIZE, &saved);
      SetFileWriterCallsForTesting(nullptr);

      EXPECT_FALSE(written);
      EXPECT_TRUE(
          reason.contains(QString::fromUtf8(language == Language::Chinese ? c.chinese : c.english)))
          << reason.toStdString();
      EXPECT_EQ(ReadAll(path), original);
      EXPECT_EQ(Entries(), QStringList{QStringLiteral("keep.png")});
    }
  }
}

// A target that exists and is not a regular file is refused, and stays
// what it was; a link to a regular file has that file replaced.
TEST_F(ImageFile, ReplacesOnlyRegularFiles) {
  const QByteArray fifo = QFile::encodeName(dir_.filePath("fifo"));
  ASSERT_EQ(::mkfifo(fifo.constData(), 0644), 0);
  // A private copy of the null device, where this user may make one.
  const QByteArray null = QFile::encodeName(dir_.filePath("null"));
  const bool haveDevice = ::mknod(null.constData(), S_IFCHR | 0666, makedev(1, 3)) == 0;
  ASSERT_TRUE(QFile::link(dir_.filePath("fifo"), dir_.filePath("link-to-fifo")));
  ASSERT_TRUE(QDir(dir_.path()).mkdir("folder"));
  struct Case {
    const char *name;
    mode_t type;
    const char *chinese;
    const char *english;
  };
  std::vector<Case> cases = {
      {"fifo", S_IFIFO, "特殊文件", "not a regular file"},
      {"link-to-fifo", S_IFIFO, "特殊文件", "not a regular file"},
      {"folder", S_IFDIR, "同名的文件夹", "folder of that name"},
  };
  if (haveDevice)
    cases.push_back({"null", S_IFCHR, "特殊文件", "not a regular file"});
  else
    std::cout << "[   NOTE   ] cannot make a device node here; the pipe stands in\n";
  const QStringList before = Entries();
  for (const Case &c : cases) {
    for (Language language : {Language::Chinese, Language::English}) {
      QString reason;
      EXPECT_FALSE(
          WriteWithWords(composite_, dir_.filePath(c.name), ImageFileFormat::Png, reason, language))
          << c.name;
      EXPECT_TRUE(
          reason.contains(QString::fromUtf8(language == Language::Chinese ? c.chinese : c.english)))
          << reason.toStdString();
      struct stat st {};
      ASSERT_EQ(::stat(QFile::encodeName(dir_.filePath(c.name)).constData(), &st), 0);
      EXPECT_EQ(st.st_mode & S_IFMT, c.type) << c.name;
    }
  }
  EXPECT_EQ(Entries(), before);

  const QString file = dir_.filePath("real.bmp");
  ASSERT_TRUE(QFile::link(file, dir_.filePath("link.bmp")));
  {
    QFile old(file);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("old");
  }
  QString reason;
  ASSERT_TRUE(WriteWithWords(composite_, dir_.filePath("link.bmp"), ImageFileFormat::Bmp, reason))
      << reason.toStdString();
  EXPECT_TRUE(QFileInfo(dir_.filePath("link.bmp")).isSymLink());
  EXPECT_EQ(QImage(file).convertToFormat(QImage::Format_RGB32), composite_);
}

// Every reason is one language: no Latin letters in a Chinese one, nothing
// but ASCII in an English one.
TEST_F(ImageFile, EachReasonIsInOneLanguage) {
  ASSERT_TRUE(QDir(dir_.path()).mkdir("folder"));
  ASSERT_EQ(::mkfifo(QFile::encodeName(dir_.filePath("fifo")).constData(), 0644), 0);
  const QString paths[] = {dir_.filePath("none/x.png"),
                           dir_.filePath("folder"),
                           dir_.filePath("fifo"),
                           QString(),
                           dir_.filePath(QString(300, 'x')),
                           dir_.filePath("a") + QChar(0) + "b"};
  for (const QString &path : paths) {
    QString chinese, english;
    EXPECT_FALSE(WriteWithWords(composite_, path, ImageFileFormat::Png, chinese));
    EXPECT_FALSE(
        WriteWithWords(composite_, path, ImageFileFormat::Png, english, Language::English));
    EXPECT_FALSE(chinese.contains(QRegularExpression("[A-Za-z]"))) << chinese.toStdString();
    EXPECT_FALSE(english.contains(QRegularExpression("[^\\x20-\\x7E]"))) << english.toStdString();
    EXPECT_FALSE(chinese.isEmpty());
    EXPECT_FALSE(english.isEmpty());
  }
}

} // namespace
} // namespace zub
