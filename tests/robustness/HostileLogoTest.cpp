// Logo files that are not what they claim, chosen in the logo dialog: each
// gets one clear message, the code is finished without a logo, memory stays
// bounded and the next generation works as if nothing had happened.

#include "LogoImage.h"
#include "Support.h"
#include "WindowProbe.h"

#include <QDir>
#include <QFile>

#include <cstdint>

namespace zub::robust {
namespace {

constexpr int kBomb = 30000; // 30000 x 30000 RGB32 would be 3.6 GB

void PutBe16(QByteArray &d, qsizetype at, std::uint32_t v) {
  d[at] = char(v >> 8 & 0xFF);
  d[at + 1] = char(v & 0xFF);
}

void PutBe32(QByteArray &d, qsizetype at, std::uint32_t v) {
  PutBe16(d, at, v >> 16);
  PutBe16(d, at + 2, v & 0xFFFF);
}

void PutLe16(QByteArray &d, qsizetype at, std::uint32_t v) {
  d[at] = char(v & 0xFF);
  d[at + 1] = char(v >> 8 & 0xFF);
}

void PutLe32(QByteArray &d, qsizetype at, std::uint32_t v) {
  PutLe16(d, at, v & 0xFFFF);
  PutLe16(d, at + 2, v >> 16);
}

// The CRC that closes every PNG chunk.
std::uint32_t Crc32(const char *data, qsizetype n) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (qsizetype i = 0; i < n; ++i) {
    crc ^= static_cast<std::uint8_t>(data[i]);
    for (int k = 0; k < 8; ++k)
      crc = crc & 1 ? 0xEDB88320u ^ (crc >> 1) : crc >> 1;
  }
  return ~crc;
}

// Real files of the sample logo whose headers claim `width` x `height`.
QByteArray PngClaiming(int width, int height) {
  QByteArray png = Encoded(SampleLogo(), "png");
  // Signature (8), chunk length (4), "IHDR" (4), width, height, ...
  PutBe32(png, 16, std::uint32_t(width));
  PutBe32(png, 20, std::uint32_t(height));
  PutBe32(png, 29, Crc32(png.constData() + 12, 17));
  return png;
}

QByteArray JpegClaiming(int width, int height) {
  QByteArray jpeg = Encoded(SampleLogo(), "jpg");
  const qsizetype frame = jpeg.indexOf("\xFF\xC0"); // baseline frame header
  EXPECT_GT(frame, 0);
  PutBe16(jpeg, frame + 5, std::uint32_t(height));
  PutBe16(jpeg, frame + 7, std::uint32_t(width));
  return jpeg;
}

struct BmpHeader {
  std::uint32_t width = 160, height = 120, bitCount = 24, pixelOffset = 54;
};

QByteArray BmpClaiming(const BmpHeader &h) {
  QByteArray bmp = Encoded(SampleLogo(), "bmp");
  PutLe32(bmp, 10, h.pixelOffset);
  PutLe32(bmp, 18, h.width);
  PutLe32(bmp, 22, h.height);
  PutLe16(bmp, 28, h.bitCount);
  return bmp;
}

// An icon file whose one picture is `png`.
QByteArray IconHolding(const QByteArray &png) {
  QByteArray ico(22, '\0');
  PutLe16(ico, 2, 1);  // an icon
  PutLe16(ico, 4, 1);  // one picture
  PutLe16(ico, 10, 1); // planes
  PutLe16(ico, 12, 32);
  PutLe32(ico, 14, std::uint32_t(png.size()));
  PutLe32(ico, 18, 22);
  return ico + png;
}

class HostileLogo : public WindowTest {
protected:
  void SetUp() override {
    WindowTest::SetUp();
    Start();
    good = Write(QStringLiteral("good.png"), Encoded(SampleLogo(1), "png"));
  }

  // Generates with `path` as the logo and checks what the user sees: one
  // warning that holds `reason` and the path, the code without a logo, and
  // then a normal generation with a good logo.
  void ExpectRefused(const QString &path, const char *reason) {
    const QString text = QStringLiteral("Zub 坏的Logo");
    messages.clear();
    Generate(text, path);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].icon, MessageIcon::Exclamation);
    EXPECT_TRUE(messages[0].text.contains(QString::fromUtf8(reason)))
        << messages[0].text.toStdString();
    EXPECT_TRUE(messages[0].text.contains(path)) << messages[0].text.toStdString();
    EXPECT_TRUE(messages[0].text.endsWith(QStringLiteral("二维码已生成，但没有加上Logo。")));
    EXPECT_EQ(Composite(), ExpectedComposite(text, QImage()));
    EXPECT_FALSE(Probe(*form).logoHolder()->hasPicture());

    messages.clear();
    Generate(QStringLiteral("after ") + path, good);
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(Composite(), ExpectedComposite(QStringLiteral("after ") + path, SampleLogo(1)));
  }

  QString good;
};

TEST_F(HostileLogo, EachFileGetsOneClearMessageAndTheCodeComesWithoutALogo) {
  const QByteArray jpeg = Encoded(SampleLogo(), "jpg");
  const QByteArray png = Encoded(SampleLogo(), "png");
  ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("文件夹.jpg")));
  struct Case {
    const char *name;
    QByteArray bytes;
    const char *reason;
  };
  const Case cases[] = {
      {"零字节.jpg", QByteArray(), "不是可以识别的图片"},
      {"cut.jpg", jpeg.left(jpeg.size() * 6 / 10), "不完整"},
      {"cut.png", png.left(png.size() / 2), "不完整"},
      {"notes.jpg", QByteArray("这不是图片，只是一段文字。\n"), "不是可以识别的图片"},
      // Bitmaps whose headers lie: more rows than the file holds, pixels
      // beyond its end, and sizes whose product overflows 64 bits.
      {"tall.bmp", BmpClaiming({.height = 12000}), "不完整"},
      {"offset.bmp", BmpClaiming({.pixelOffset = 0x7FFFFFF0}), "不完整"},
      {"overflow.bmp", BmpClaiming({.width = 0x7FFFFFFF, .height = 0x7FFFFFFF, .bitCount = 0xFFFF}),
       "不完整"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    ExpectRefused(Write(QString::fromUtf8(c.name), c.bytes), c.reason);
  }
  SCOPED_TRACE("a folder");
  ExpectRefused(File(QStringLiteral("文件夹.jpg")), "不是图片文件");
}

// Small files whose headers claim 30000 x 30000 pixels are refused before
// anything of that size is allocated; an icon that hides such a picture is
// not a format a logo may be in.
TEST_F(HostileLogo, DecompressionBombsAreRefusedWithMemoryBounded) {
  struct Case {
    const char *name;
    QByteArray bytes;
    const char *reason;
  };
  const Case cases[] = {
      {"bomb.png", PngClaiming(kBomb, kBomb), "尺寸太大"},
      {"bomb.jpg", JpegClaiming(kBomb, kBomb), "尺寸太大"},
      // Qt's reader refuses the header itself; and the pixels are missing.
      {"bomb.bmp", BmpClaiming({.width = kBomb, .height = kBomb}).left(54), "不完整"},
      {"bomb.ico", IconHolding(PngClaiming(kBomb, kBomb)), "JPEG、PNG、BMP或GIF"},
  };
  const bool peakKept = ResetPeakResident();
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_LT(c.bytes.size(), 64 * 1024);
    ExpectRefused(Write(QString::fromUtf8(c.name), c.bytes), c.reason);
  }
  if (peakKept) { // the peak since the reset, against 3.6 GB for one picture
    EXPECT_LT(PeakResidentBytes(), ResidentBytes() + 256LL * 1024 * 1024);
  }
}

TEST_F(HostileLogo, FileWithoutReadPermission) {
  const QString path = Write(QStringLiteral("没有权限.png"), Encoded(SampleLogo(), "png"));
  ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::Permissions()));
  // An ordinary user must reach the scratch folder to meet the file.
  ASSERT_TRUE(QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                    QFileDevice::ExeOwner | QFileDevice::ExeGroup |
                                                    QFileDevice::ExeOther));
  OrdinaryFileAccess ordinary;
  if (!ordinary.active() || QFile(path).open(QIODevice::ReadOnly))
    GTEST_SKIP() << "this user reads a file without read permission; nothing to show";
  ExpectRefused(path, "无法读取");
}

TEST_F(HostileLogo, PathsWithSpacesAndChineseWork) {
  ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("新建 文件夹/我的 图片")));
  const QStringList paths = {
      Write(QStringLiteral("  我的 Logo (最终版).png"), Encoded(SampleLogo(2), "png")),
      Write(QStringLiteral("新建 文件夹/我的 图片/公司 标志.JPG"), Encoded(SampleLogo(3), "jpg")),
      Write(QStringLiteral("新建 文件夹/标志 .bmp"), Encoded(SampleLogo(4), "bmp")),
  };
  for (const QString &path : paths) {
    SCOPED_TRACE(path.toStdString());
    messages.clear();
    Generate(QStringLiteral("路径 ") + path, path);
    EXPECT_TRUE(messages.empty());
    EXPECT_TRUE(Probe(*form).logoHolder()->hasPicture());
    EXPECT_EQ(Composite(), ExpectedComposite(QStringLiteral("路径 ") + path, LoadLogo(path).image));
  }
}

} // namespace
} // namespace zub::robust
