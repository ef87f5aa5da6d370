// The lean writers of `zubqr encode` against what the program wrote when it
// drew through Qt: the same bytes for every format, the same message bytes
// for every text, and colours, batch lines and names as documented.
#include "Batch.h"
#include "Colours.h"
#include "ExitStatus.h"
#include "FileIdentity.h"
#include "ImageFile.h"
#include "MessageBytes.h"
#include "MessageInput.h"
#include "Messages.h"
#include "QrEncoder.h"
#include "SymbolFiles.h"

#include <QFile>
#include <QImage>
#include <QString>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace zub;
using namespace zub::cli;

Picture MakeTestSymbol(const std::string &text, int version, int level, int mask) {
  QrEncoder encoder;
  return encoder.MakeSymbol(reinterpret_cast<const std::uint8_t *>(text.data()),
                            static_cast<int>(text.size()), version, level, mask);
}

// The picture as the program drew it through Qt: 8-bit grey, black on white.
QImage QtPicture(const Picture &symbol, int scale, int margin) {
  const int n = symbol.width() - 2 * kQuietZone;
  const int side = (n + 2 * margin) * scale;
  QImage image(side, side, QImage::Format_Grayscale8);
  image.fill(Qt::white);
  for (int y = 0; y < n; ++y)
    for (int x = 0; x < n; ++x)
      if (symbol.pixel(x + kQuietZone, y + kQuietZone) == Picture::kBlack)
        for (int dy = 0; dy < scale; ++dy)
          std::memset(image.scanLine((y + margin) * scale + dy) + (x + margin) * scale, 0,
                      static_cast<std::size_t>(scale));
  return image;
}

QByteArray Bytes(const std::vector<std::uint8_t> &v) {
  return QByteArray(reinterpret_cast<const char *>(v.data()), static_cast<qsizetype>(v.size()));
}

QByteArray Golden(const char *name) {
  QFile file(QStringLiteral(GOLDEN_DIR "/") + QString::fromUtf8(name));
  EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name;
  return file.readAll();
}

} // namespace

TEST(LeanWriters, RasterFilesAreTheBytesQtWrote) {
  struct Case {
    const char *text;
    int version, level, mask, scale, margin;
  };
  const Case cases[] = {
      {"HI", 1, kLevelL, 0, 1, 4},
      {"HELLO WORLD", 1, kLevelQ, 3, 3, 0},
      {"https://example.com/", 3, kLevelH, 6, 4, 2},
      {"0123456789", 7, kLevelM, 5, 2, 10},
      {"batch", 10, kLevelM, 1, 5, 4},
      {"last", 25, kLevelL, 7, 1, 4},
      {"big", 40, kLevelH, 2, 3, 4},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(std::string(c.text) + " v" + std::to_string(c.version) + " scale " +
                 std::to_string(c.scale) + " margin " + std::to_string(c.margin));
    const Picture symbol = MakeTestSymbol(c.text, c.version, c.level, c.mask);
    ASSERT_FALSE(symbol.isNull());
    const QImage qt = QtPicture(symbol, c.scale, c.margin);
    const SymbolLook look{c.scale, c.margin, {}};
    EXPECT_EQ(Bytes(SymbolPng(symbol, look)), EncodeImageFile(qt, ImageFileFormat::Png));
    EXPECT_EQ(Bytes(SymbolBmp(symbol, look)), EncodeImageFile(qt, ImageFileFormat::Bmp));
    EXPECT_EQ(Bytes(SymbolJpeg(symbol, look)), EncodeImageFile(qt, ImageFileFormat::Jpeg));
  }
}

TEST(LeanWriters, VectorAndTerminalTextsAreTheOnesWrittenBefore) {
  // Written by the program before it drew without Qt.
  struct Case {
    const char *text;
    int version, level, mask, scale, margin;
    const char *svg, *terminal; // golden files, at `margin` for both
  };
  const Case cases[] = {
      {"HI", 1, kLevelL, 3, 2, 0, "v1-L-mask3-HI-scale2-margin0.svg", nullptr},
      {"HI", 1, kLevelL, 3, 1, 1, nullptr, "v1-L-mask3-HI-margin1.txt"},
      {"https://example.com/", 3, kLevelH, 6, 3, 4, "v3-H-mask6-url-scale3.svg", nullptr},
      {"https://example.com/", 3, kLevelH, 6, 1, 0, nullptr, "v3-H-mask6-url-margin0.txt"},
      {"0123456789", 7, kLevelM, 5, 5, 2, "v7-M-mask5-digits-scale5-margin2.svg", nullptr},
      {"0123456789", 7, kLevelM, 5, 1, 4, nullptr, "v7-M-mask5-digits-margin4.txt"},
  };
  for (const Case &c : cases) {
    const Picture symbol = MakeTestSymbol(c.text, c.version, c.level, c.mask);
    const SymbolLook look{c.scale, c.margin, {}};
    if (c.svg) {
      EXPECT_EQ(QByteArray::fromStdString(SymbolSvg(symbol, look)), Golden(c.svg)) << c.svg;
    }
    if (c.terminal) {
      EXPECT_EQ(QByteArray::fromStdString(SymbolText(symbol, look, false)), Golden(c.terminal))
          << c.terminal;
    }
  }
}

TEST(LeanWriters, InvertedTextDrawsTheDarkModules) {
  const Picture hi = MakeTestSymbol("HI", 1, kLevelL, 3);
  const std::string plain = SymbolText(hi, {1, 1, {}}, false);
  const std::string inverted = SymbolText(hi, {1, 1, {}}, true);
  // Each cell's upper and lower half swap between drawn and not drawn.
  const auto cells = [](const std::string &text) {
    std::vector<int> halves; // bit 1: top drawn, bit 0: bottom drawn
    for (std::size_t i = 0; i < text.size();) {
      if (text[i] == '\n' || text[i] == ' ') {
        halves.push_back(text[i] == ' ' ? 0 : -1);
        ++i;
        continue;
      }
      const std::string glyph = text.substr(i, 3);
      halves.push_back(glyph == "\u2588" ? 3 : glyph == "\u2580" ? 2 : 1);
      i += 3;
    }
    return halves;
  };
  const std::vector<int> a = cells(plain), b = cells(inverted);
  ASSERT_EQ(a.size(), b.size());
  const std::size_t width = 21 + 2 + 1;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i] < 0) {
      EXPECT_EQ(b[i], -1);
      continue;
    }
    // The last row of an odd height has no lower half on either side.
    const bool lastRow = i / width == a.size() / width - 1;
    EXPECT_EQ(a[i] ^ b[i], lastRow ? 2 : 3) << "cell " << i;
  }
}

TEST(LeanWriters, TextBecomesTheBytesQtGaveIt) {
  std::vector<std::string> texts = {
      "", "plain ASCII", "二维码 生成器", "\xEF\xBB\xBFwith a mark",
      "two \xEF\xBB\xBF marks \xEF\xBB\xBF", "emoji \xF0\x9F\x98\x80",
      // Malformed: stray continuations, overlong forms, surrogates, past
      // U+10FFFF, sequences cut short, at the end and inside.
      "\x80", "a\xBFz", "\xC0\x80", "\xC1\xBF", "\xE0\x80\x80", "\xED\xA0\x80", "\xED\xBF\xBF",
      "\xF4\x90\x80\x80", "\xF5\x80\x80\x80", "\xFF", "\xE4\xBA", "\xE4\xBAz", "\xF0\x9F\x98",
      "\xF0\x9F", "x\xF0", std::string("nul\0inside", 10)};
  std::mt19937 random(20);
  for (int i = 0; i < 3000; ++i) {
    std::string s(static_cast<std::size_t>(random() % 12), '\0');
    for (char &c : s) {
      const auto r = static_cast<unsigned>(random());
      // Mostly bytes that start or continue sequences, where faults hide.
      c = static_cast<char>(r % 3 == 0 ? 0x80 + r % 64 : r % 3 == 1 ? 0xC0 + r % 64 : r % 256);
    }
    texts.push_back(s);
  }
  for (const std::string &text : texts) {
    const QString qt = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    const std::u16string ours = Utf16FromUtf8(text);
    ASSERT_EQ(ours, qt.toStdU16String()) << QByteArray::fromStdString(text).toHex().data();
    for (TextEncoding encoding : {TextEncoding::Utf8, TextEncoding::Ansi})
      ASSERT_EQ(TextMessage(text, encoding).bytes, MessageBytes(qt, encoding))
          << QByteArray::fromStdString(text).toHex().data();
  }
}

TEST(Colours, HexAndNamesAreReadAndOthersRefused) {
  struct Case {
    const char *text;
    std::optional<Rgba> colour;
  };
  const Case cases[] = {
      {"#000000", Rgba{0, 0, 0, 255}},
      {"#FFffFF", Rgba{255, 255, 255, 255}},
      {"#12345680", Rgba{0x12, 0x34, 0x56, 0x80}},
      {"navy", Rgba{0, 0, 0x80, 255}},
      {"RebeccaPurple", Rgba{0x66, 0x33, 0x99, 255}},
      {"aliceblue", Rgba{0xf0, 0xf8, 0xff, 255}},
      {"yellowgreen", Rgba{0x9a, 0xcd, 0x32, 255}},
      {"#fff", std::nullopt},
      {"#12345", std::nullopt},
      {"#1234567", std::nullopt},
      {"#gg0000", std::nullopt},
      {"000000", std::nullopt},
      {"nocolour", std::nullopt},
      {"", std::nullopt},
  };
  for (const Case &c : cases)
    EXPECT_EQ(ParseColour(c.text), c.colour) << c.text;
}

TEST(Colours, LowContrastAndInvertedCodesAreNamed) {
  struct Case {
    const char *dark, *light;
    const char *problem; // a word of the sentence, or nothing
  };
  const Case cases[] = {
      {"black", "white", nullptr},        {"navy", "#ffffe0", nullptr},
      {"#777777", "white", nullptr}, // 4.48:1 is enough
      {"#999999", "white", "contrast"},   {"yellow", "white", "contrast"},
      {"white", "black", "inverted"},     {"#ffff00", "navy", "inverted"},
      {"#00000020", "white", "contrast"}, // nearly transparent dark modules
  };
  for (const Case &c : cases) {
    const Colours colours{*ParseColour(c.dark), *ParseColour(c.light)};
    const auto problem = ColourProblem(colours, Language::English);
    if (!c.problem) {
      EXPECT_FALSE(problem) << c.dark << " on " << c.light << ": " << problem.value_or("");
    } else {
      EXPECT_NE(problem.value_or("").find(c.problem), std::string::npos)
          << c.dark << " on " << c.light << ": " << problem.value_or("nothing");
    }
  }
}

TEST(BatchLines, FieldsAndEscapesAreRead) {
  int lines = 0;
  const std::vector<BatchJob> jobs =
      ParseBatch("plain text\nname\ttext with\\ttab\r\n\n\\\\back\\nslash\nbad \\x\n"
                 "a\tb\tc\nname\\tpart\tt\nend \\",
                 lines);
  EXPECT_EQ(lines, 8);
  struct Want {
    int line;
    std::optional<std::string> name;
    std::string text;
    bool error;
  };
  const Want want[] = {
      {1, std::nullopt, "plain text", false},
      {2, "name", "text with\ttab", false},
      {4, std::nullopt, "\\back\nslash", false},
      {5, std::nullopt, "", true},
      {6, "a", "b\tc", false},
      {7, "name\tpart", "t", false},
      {8, std::nullopt, "", true},
  };
  ASSERT_EQ(jobs.size(), std::size(want));
  for (std::size_t i = 0; i < jobs.size(); ++i) {
    SCOPED_TRACE("line " + std::to_string(want[i].line));
    EXPECT_EQ(jobs[i].line, want[i].line);
    EXPECT_EQ(jobs[i].name, want[i].name);
    if (!want[i].error) {
      EXPECT_EQ(jobs[i].text, want[i].text);
    }
    EXPECT_EQ(!jobs[i].error.empty(), want[i].error) << jobs[i].error;
  }
}

TEST(BatchLines, NamesFollowThePatternOrTheFolder) {
  struct Case {
    std::optional<std::string> name;
    int line, lines;
    const char *output, *target; // nullptr: the name is refused
  };
  const Case cases[] = {
      {std::nullopt, 7, 120, "out/{n}.png", "out/007.png"},
      {std::nullopt, 120, 120, "out/{n}.png", "out/120.png"},
      {std::nullopt, 3, 9, "code-{n}-{n}.svg", "code-3-3.svg"},
      {"ticket", 12, 5000, "out/{name}-{n}.png", "out/ticket-0012.png"},
      {std::nullopt, 12, 5000, "out/{name}.png", "out/0012.png"},
      {"ticket", 2, 10, "out/{n}.png", "out/02.png"}, // the name is not asked for
      {"ticket", 2, 10, "folder", "folder/ticket.png"},
      {std::nullopt, 2, 10, "folder/", "folder/02.png"},
      {"a/b", 2, 10, "out/{name}.png", nullptr},
      {"..", 2, 10, "folder", nullptr},
      {"", 2, 10, "out/{name}.png", nullptr},
      {"a/b", 2, 10, "out/{n}.png", "out/02.png"},
      // Control characters: a line break, an escape, a tab, C1's NEL.
      {"a\nb", 2, 10, "out/{name}.png", nullptr},
      {"x\x1b]0;PWNED\x07", 2, 10, "folder", nullptr},
      {"name\tpart", 2, 10, "out/{name}.png", nullptr},
      {"next\xc2\x85line", 2, 10, "out/{name}.png", nullptr},
      {"\xc2\xa9 2026", 2, 10, "out/{name}.png", "out/\xc2\xa9 2026.png"},
      // A batch writes files: "-" is a file of that name, not standard output.
      {"-", 2, 10, "{name}", "./-"},
      {"-", 2, 10, "{name}.png", "-.png"},
  };
  for (const Case &c : cases) {
    BatchJob job;
    job.line = c.line;
    job.name = c.name;
    std::string error;
    const bool named = NameTarget(job, c.output, "png", c.lines, error);
    EXPECT_EQ(named, c.target != nullptr) << c.output << " " << c.name.value_or("-");
    if (c.target && named) {
      EXPECT_EQ(job.target, c.target);
    }
  }
}

// Two targets reach one file by one name, by hard links or through
// symbolic links, whether the file is there yet or not; anything else is
// two files.
TEST(BatchLines, FilesAreKnownByWhatTheyReachNotByTheirNames) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const std::string d = dir.path().toStdString();
  const auto path = [&d](const char *name) { return d + "/" + name; };
  ASSERT_EQ(::mkdir(path("out").c_str(), 0755), 0);
  QFile a(QString::fromStdString(path("out/a.png")));
  ASSERT_TRUE(a.open(QIODevice::WriteOnly));
  a.close();
  ASSERT_EQ(::link(path("out/a.png").c_str(), path("out/hard.png").c_str()), 0);
  ASSERT_EQ(::symlink("a.png", path("out/soft.png").c_str()), 0);
  ASSERT_EQ(::symlink("soft.png", path("out/softer.png").c_str()), 0);
  ASSERT_EQ(::symlink("new.png", path("out/dangling.png").c_str()), 0);
  ASSERT_EQ(::symlink("out", path("linked").c_str()), 0);
  struct Case {
    const char *first, *second;
    bool same;
  };
  const Case cases[] = {
      {"out/a.png", "out/a.png", true},
      {"out/a.png", "out/hard.png", true},
      {"out/a.png", "out/soft.png", true},
      {"out/hard.png", "out/softer.png", true},
      {"out/new.png", "out/dangling.png", true},
      {"out/new.png", "linked/new.png", true},
      {"out/new.png", "out/./new.png", true},
      {"missing/x.png", "missing/../missing/x.png", true},
      {"out/a.png", "out/new.png", false},
      {"out/new.png", "out/other.png", false},
      {"out/dangling.png", "out/soft.png", false},
      {"missing/x.png", "missing/y.png", false},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(std::string(c.first) + " and " + c.second);
    // Each with identities of its own and both with one: the folder each
    // remembers must not change the answer.
    FileIdentities one, other;
    const std::string first = one.Of(path(c.first)), second = other.Of(path(c.second));
    EXPECT_EQ(first == second, c.same) << first << " / " << second;
    FileIdentities both;
    EXPECT_EQ(both.Of(path(c.first)), first);
    EXPECT_EQ(both.Of(path(c.second)), second);
    EXPECT_EQ(both.HashOf(path(c.first)) == both.HashOf(path(c.second)), c.same);
  }
}

// What read shows on a terminal, at the edges of each range it escapes:
// C0 and DEL, and C1 (U+0080 to U+009F); the Latin-1 signs right after C1
// and everything else are shown as they are.
TEST(TerminalText, EachEscapedRangeEndsWhereItShould) {
  struct Case {
    std::string text, shown;
  };
  const Case cases[] = {
      {std::string(1, '\0'), "\\x00"},
      {"\x01", "\\x01"},
      {"\x1b[2J", "\\x1b[2J"},
      {"\x1f", "\\x1f"},
      {" ", " "},
      {"~", "~"},
      {"\x7f", "\\x7f"},
      {"\n\r\t\\", "\\n\\r\\t\\\\"},
      {"\xc2\x80", "\\u0080"},
      {"\xc2\x85", "\\u0085"},
      {"\xc2\x9b", "\\u009b"},
      {"\xc2\x9f", "\\u009f"},
      {"\xc2\xa0", "\xc2\xa0"}, // the no-break space
      {"\xc2\xa9", "\xc2\xa9"}, // ©
      {"\xc2\xb0", "\xc2\xb0"}, // °
      {"\xc2\xb1", "\xc2\xb1"}, // ±
      {"\xc2\xbd", "\xc2\xbd"}, // ½
      {"\xc2\xbf", "\xc2\xbf"}, // ¿
      {"\xc4\x80", "\xc4\x80"}, // Ā: C1's second bytes after another lead
      {"\xe4\xb8\xad\xe6\x96\x87", "\xe4\xb8\xad\xe6\x96\x87"},
      {"\xc2", "\xc2"}, // a lone lead byte at the end
  };
  for (const Case &c : cases) {
    EXPECT_EQ(ForTerminal(c.text), c.shown) << c.shown;
    EXPECT_EQ(HasControlCharacter(c.text), c.text != c.shown) << c.shown;
  }
}

TEST(BatchRun, ExitStatusSaysWhatKindOfFailureThereWas) {
  QTemporaryDir dir;
  const std::string jobs = dir.filePath("jobs.txt").toStdString();
  QFile file(QString::fromStdString(jobs));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("ok\nunreadable\nfailed\nok\n");
  file.close();
  struct Case {
    bool unreadableFails, otherFails;
    int status;
  };
  const Case cases[] = {{false, false, kOk},
                        {true, false, kUnreadable},
                        {true, true, kFailed},
                        {false, true, kFailed}};
  for (const Case &c : cases) {
    const BatchSettings settings{jobs, dir.filePath("{n}.png").toStdString(), "png", 2, {}, {}};
    const int status = RunBatch("test", settings, [&c](const BatchJob &job) {
      if (job.text == "unreadable" && c.unreadableFails)
        return JobOutcome{JobOutcome::Unreadable, "none scans"};
      if (job.text == "failed" && c.otherFails)
        return JobOutcome{JobOutcome::Failed, "broken"};
      return JobOutcome{};
    });
    EXPECT_EQ(status, c.status) << c.unreadableFails << c.otherFails;
  }
}
