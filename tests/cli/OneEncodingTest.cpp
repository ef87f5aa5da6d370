// The command line's toolkit roads run in this process, so that the
// encoder's calls can be counted: every message is encoded once per
// candidate, by compose (with and without --readable, one code or a batch)
// and by encode --readable's search, and the files hold the code that was
// checked.
#include "CodeSupport.h"
#include "Commands.h"
#include "Composite.h"
#include "EncodeCount.h"
#include "ImageFile.h"
#include "LogoImage.h"
#include "ReadableCode.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace zub::cli {
namespace {

class OneEncoding : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    logo = dir.filePath(QStringLiteral("logo.png"));
    ASSERT_TRUE(test::SampleLogo().save(logo));
  }

  // The encodings `run` asks of the encoder.
  template <typename Run> static std::uint64_t Encodings(Run &&run) {
    const std::uint64_t before = EncodeCount::Total();
    run();
    return EncodeCount::Total() - before;
  }

  // What MakeReadableCode does with the message, counted alongside.
  static ReadableCode Reference(const QString &text, TextEncoding encoding, const QImage &logoImage,
                                bool symbolAlone, std::uint64_t &encodings) {
    CodeSource source;
    source.text = text;
    source.logoInBox = LogoInBox(logoImage, kLogoBoxRect.size());
    source.symbolAlone = symbolAlone;
    QrEncoder encoder;
    ReadableCode made;
    encodings = Encodings([&] {
      made =
          MakeReadableCode(encoder, source, {0, kLevelM, 0, encoding, 0}, nullptr, kNoTimeBudget);
    });
    return made;
  }

  QByteArray Bytes(const QString &name) const {
    QFile file(dir.filePath(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }

  QTemporaryDir dir;
  QString logo;
};

TEST_F(OneEncoding, ComposeEncodesEachCandidateOnceAndWritesTheCheckedComposite) {
  const QImage logoImage = LoadLogo(logo).image;
  struct Case {
    const char *what;
    QString text;
    bool readable;
  };
  // "中国" in UTF-8 is Shift JIS to zbar: --readable searches (ECI 26 scans).
  for (const Case &c : {Case{"scans", QStringLiteral("one road, one encoding"), false},
                        Case{"scans, --readable", QStringLiteral("one road, one encoding"), true},
                        Case{"does not scan", QStringLiteral("中国"), false},
                        Case{"does not scan, --readable", QStringLiteral("中国"), true}}) {
    SCOPED_TRACE(c.what);
    std::uint64_t expected = 0;
    const ReadableCode reference =
        Reference(c.text, TextEncoding::Utf8, logoImage, false, expected);
    ASSERT_NE(reference.verdict, ReadableCode::Verdict::TooLong);
    // The first code, then each candidate once.
    EXPECT_EQ(expected, 1 + reference.search.tried.size());
    if (!c.readable)
      expected = 1;

    std::vector<std::string> args{
        "--text",   c.text.toStdString(),
        "--logo",   logo.toStdString(),
        "--output", dir.filePath(QStringLiteral("out.png")).toStdString()};
    if (c.readable)
      args.push_back("--readable");
    int status = -1;
    EXPECT_EQ(Encodings([&] { status = Compose(args); }), expected);
    ASSERT_EQ(status, kOk);
    const QImage written = c.readable ? reference.code().composite : reference.first.composite;
    EXPECT_EQ(Bytes(QStringLiteral("out.png")), EncodeImageFile(written, ImageFileFormat::Png));
  }
}

TEST_F(OneEncoding, ComposeBatchEncodesEachLineOnce) {
  QFile jobs(dir.filePath(QStringLiteral("jobs.txt")));
  ASSERT_TRUE(jobs.open(QIODevice::WriteOnly));
  jobs.write("first line\nsecond line\nthird\tline three\n");
  jobs.close();
  // Each line's first code once, and with --readable each candidate of its
  // own search once.
  const QImage logoImage = LoadLogo(logo).image;
  std::uint64_t searched = 0;
  for (const char *line : {"first line", "second line", "line three"}) {
    std::uint64_t encodings = 0;
    Reference(QString::fromUtf8(line), TextEncoding::Utf8, logoImage, false, encodings);
    searched += encodings;
  }
  for (const bool readable : {false, true}) {
    std::vector<std::string> args{
        "--batch",  jobs.fileName().toStdString(),
        "--logo",   logo.toStdString(),
        "--output", dir.filePath(readable ? "readable" : "plain").toStdString()};
    if (readable)
      args.push_back("--readable");
    int status = -1;
    EXPECT_EQ(Encodings([&] { status = Compose(args); }), readable ? searched : 3u) << readable;
    EXPECT_EQ(status, kOk) << readable;
  }
}

TEST_F(OneEncoding, EncodeReadableEncodesEachCandidateOnce) {
  struct Case {
    const char *what;
    QString text;
    TextEncoding encoding;
  };
  // GBK bytes of "中文" come back from zbar as another character set's text.
  for (const Case &c :
       {Case{"scans", QStringLiteral("one road"), TextEncoding::Utf8},
        Case{"GBK read as another set", QStringLiteral("中文"), TextEncoding::Ansi}}) {
    SCOPED_TRACE(c.what);
    std::uint64_t expected = 0;
    const ReadableCode reference = Reference(c.text, c.encoding, QImage(), true, expected);
    ASSERT_TRUE(reference.verdict == ReadableCode::Verdict::Passes ||
                reference.verdict == ReadableCode::Verdict::Remedied);
    EXPECT_EQ(expected, 1 + reference.search.tried.size());

    EncodeOptions options;
    options.encoding = c.encoding;
    options.readable = true;
    const Message message = TextMessage(c.text.toStdString(), c.encoding);
    ReadableSymbol answer;
    EXPECT_EQ(Encodings([&] { answer = ReadableSymbolFor(options, message); }), expected);
    ASSERT_EQ(answer.status, kOk) << answer.note;
    EXPECT_EQ(answer.note.empty(), !reference.changed());
    // The symbol written is the one the readers read.
    const QImage read = reference.code().symbol;
    ASSERT_EQ(answer.symbol.width(), read.width());
    for (int y = 0; y < read.height(); ++y)
      for (int x = 0; x < read.width(); ++x)
        ASSERT_EQ(answer.symbol.pixel(x, y), qGray(read.pixel(x, y))) << x << "," << y;
  }
}

} // namespace
} // namespace zub::cli
