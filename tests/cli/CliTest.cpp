// zubqr as scripts use it: exit statuses, files written or not, and
// pictures that real readers decode.
#include "CliSupport.h"
#include "PhoneCaptures.h"
#include "Readers.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

using namespace zub::clitest;

class Cli : public ::testing::Test {
protected:
  QString File(const char *name) { return dir.filePath(QString::fromUtf8(name)); }
  QTemporaryDir dir;
};

} // namespace

TEST_F(Cli, HelloWorldIsAVersion1BitmapThatZbarReads) {
  const QString bmp = File("a.bmp");
  // One pixel a module: the picture's size is the symbol's.
  const Outcome r = Zubqr({"encode", "--scale", "1", "--text", "HELLO WORLD", "--output", bmp});
  ASSERT_EQ(r.status, 0) << r.err.toStdString();
  QFile file(bmp);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_EQ(file.read(2), "BM");
  const QImage image(bmp);
  EXPECT_EQ(image.size(), QSize(29, 29));

  const QString png = File("a4.png");
  ASSERT_TRUE(image.scaled(116, 116, Qt::IgnoreAspectRatio, Qt::FastTransformation).save(png));
  QProcess zbar;
  zbar.start("zbarimg", {"--quiet", "--raw", png});
  ASSERT_TRUE(zbar.waitForFinished(30000));
  EXPECT_EQ(zbar.readAllStandardOutput().trimmed(), "HELLO WORLD");
}

TEST_F(Cli, MessagesComeBackAsTheirExactBytes) {
  const QByteArray utf8 = QStringLiteral("二维码 生成器 ABC 123").toUtf8();
  // 二维码 ? ABC: the emoji has no GBK form.
  const QByteArray gbk("\xb6\xfe\xce\xac\xc2\xeb ? ABC", 12);
  QFile binary(File("payload.bin"));
  QByteArray payload;
  for (int i = 0; i < 300; ++i)
    payload.append(static_cast<char>((i * 73 + 5) & 0xFF));
  ASSERT_TRUE(binary.open(QIODevice::WriteOnly));
  binary.write(payload);
  binary.close();

  struct Case {
    QStringList args;
    QByteArray input;
    QByteArray expected;
  };
  const std::vector<Case> cases = {
      {{"--text", QStringLiteral("二维码 生成器 ABC 123")}, {}, utf8},
      {{"--encoding", "ansi", "--text", QStringLiteral("二维码 😀 ABC")}, {}, gbk},
      {{"--level", "H", "--mask", "5"}, utf8, utf8}, // text from standard input
      {{"--input", File("payload.bin"), "--version", "20", "--level", "q"}, {}, payload},
      {{"--input", "-"}, payload, payload},
  };
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const QString out = File("case.png");
    QStringList args = {"encode", "--output", out};
    args += cases[i].args;
    const Outcome r = Zubqr(args, cases[i].input);
    ASSERT_EQ(r.status, 0) << i << ": " << r.err.toStdString();
    EXPECT_EQ(Read(out), cases[i].expected) << "case " << i;
    QFile::remove(out);
  }
}

TEST_F(Cli, RefusesWithStatusAndWritesNothing) {
  const QString out = File("never.bmp");
  struct Case {
    QStringList args;
    int status;
  };
  const std::vector<Case> cases = {
      {{"--version", "1", "--level", "L", "--text", QString(18, 'a')}, 1},
      {{"--text", QString(3000, 'a')}, 1},
      {{"--input", File("missing.bin")}, 1},
      {{"--level", "X", "--text", "a"}, 2},
      {{"--version", "41", "--text", "a"}, 2},
      {{"--mask", "8", "--text", "a"}, 2},
      {{"--encoding", "latin1", "--text", "a"}, 2},
      {{"--colour", "red", "--text", "a"}, 2},
  };
  for (const Case &c : cases) {
    const Outcome r = Zubqr(QStringList{"encode", "--output", out} + c.args);
    EXPECT_EQ(r.status, c.status) << c.args.join(' ').left(60).toStdString();
    EXPECT_FALSE(r.err.isEmpty());
    EXPECT_FALSE(QFile::exists(out));
  }
  EXPECT_EQ(Zubqr({"encode", "--text", "a"}).status, 2) << "missing output";
  EXPECT_EQ(Zubqr({}).status, 2);
}

TEST_F(Cli, AFailedWriteLeavesTheOldFileWhole) {
  const QString out = File("keep.bmp");
  ASSERT_EQ(Zubqr({"encode", "--text", "FIRST", "--output", out}).status, 0);
  QFile before(out);
  ASSERT_TRUE(before.open(QIODevice::ReadOnly));
  const QByteArray original = before.readAll();
  before.close();

  EXPECT_EQ(Zubqr({"encode", "--text", "x", "--output", File("no/such/dir/x.bmp")}).status, 1);
  EXPECT_EQ(Zubqr({"encode", "--version", "1", "--text", QString(40, 'z'), "--output", out}).status,
            1);
  QFile after(out);
  ASSERT_TRUE(after.open(QIODevice::ReadOnly));
  EXPECT_EQ(after.readAll(), original);
}

int main(int argc, char **argv) {
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

// encode's default size is one a phone reads off a screen: the picture of
// each version, small to largest, as a phone films it (the captures of
// PhoneCaptures.h) is read back by both readers phones run. One pixel a
// module, the size it drew before, is below what a phone resolves: none of
// its captures reads.
TEST_F(Cli, TheDefaultSizeReadsOnAPhone) {
  const zub::ReaderCalls *readers = zub::Readers();
  ASSERT_NE(readers, nullptr);
  const QByteArray text = "zub.cn/7";
  const auto capturesRead = [&](const QImage &picture) {
    int read = 0;
    for (zub::CaptureKind kind : zub::kCaptureKinds) {
      const QImage shot = zub::PhoneCapture(picture, kind);
      bool zxing = false, wechat = false;
      for (const zub::ReaderCalls::Code &code : readers->zxing(shot, 1))
        zxing = zxing || QByteArray::fromStdString(code.bytes) == text;
      for (const std::string &shown : readers->wechat(shot))
        wechat = wechat || QByteArray::fromStdString(shown) == text;
      read += zxing && wechat;
    }
    return read;
  };
  for (const int version : {1, 2, 7, 10, 15, 22, 27, 33, 40}) {
    SCOPED_TRACE(version);
    const QString png = File("v.png");
    const Outcome r = Zubqr({"encode", "--version", QString::number(version), text, "-o", png});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    const QImage picture(png);
    EXPECT_EQ(picture.width(), (17 + 4 * version + 8) * 4);
    EXPECT_EQ(capturesRead(picture), 3);
  }
  const QString small = File("small.png");
  ASSERT_EQ(Zubqr({"encode", "--scale", "1", "--version", "7", text, "-o", small}).status, 0);
  EXPECT_EQ(capturesRead(QImage(small)), 0);
}
