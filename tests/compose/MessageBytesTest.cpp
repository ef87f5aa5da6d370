#include "MessageBytes.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace zub {
namespace {

std::vector<std::uint8_t> Bytes(std::initializer_list<int> values) {
  std::vector<std::uint8_t> v;
  for (int b : values)
    v.push_back(static_cast<std::uint8_t>(b));
  return v;
}

QString FromUnits(std::initializer_list<char16_t> units) {
  QString s;
  for (char16_t u : units)
    s.append(QChar(u));
  return s;
}

TEST(MessageBytes, Utf8OfValidText) {
  EXPECT_TRUE(MessageBytes(QString(), TextEncoding::Utf8).empty());
  EXPECT_EQ(MessageBytes(QStringLiteral("Az09 "), TextEncoding::Utf8),
            Bytes({'A', 'z', '0', '9', ' '}));
  // é (2 bytes), 中 (3 bytes), U+1F600 as a surrogate pair (4 bytes).
  EXPECT_EQ(MessageBytes(FromUnits({0x00E9, 0x4E2D, 0xD83D, 0xDE00}), TextEncoding::Utf8),
            Bytes({0xC3, 0xA9, 0xE4, 0xB8, 0xAD, 0xF0, 0x9F, 0x98, 0x80}));
}

TEST(MessageBytes, Utf8LoneSurrogatesBecomeReplacementCharacter) {
  // A low surrogate alone, a high one before a letter, a high one at the end.
  EXPECT_EQ(MessageBytes(FromUnits({0xDC00, 'a', 0xD800, 'b', 0xD83D}), TextEncoding::Utf8),
            Bytes({0xEF, 0xBF, 0xBD, 'a', 0xEF, 0xBF, 0xBD, 'b', 0xEF, 0xBF, 0xBD}));
}

TEST(MessageBytes, AnsiIsCodePage936) {
  EXPECT_TRUE(MessageBytes(QString(), TextEncoding::Ansi).empty());
  EXPECT_EQ(MessageBytes(QStringLiteral("Zub二维码"), TextEncoding::Ansi),
            Bytes({'Z', 'u', 'b', 0xB6, 0xFE, 0xCE, 0xAC, 0xC2, 0xEB}));
  // The euro sign is in code page 936 (0x80), though not in plain GBK tables.
  EXPECT_EQ(MessageBytes(FromUnits({0x20AC}), TextEncoding::Ansi), Bytes({0x80}));
}

TEST(MessageBytes, AnsiReplacesEachUnmappableCharacterByOneQuestionMark) {
  // Korean 한, a surrogate pair (U+1F600), a lone high and a lone low surrogate,
  // a no-break space, and a lone high surrogate at the very end.
  const QString text = FromUnits(
      {'a', 0xD55C, 'b', 0xD83D, 0xDE00, 'c', 0xD800, 'd', 0xDC00, 0x00A0, 0x4E2D, 0xD83D});
  EXPECT_EQ(MessageBytes(text, TextEncoding::Ansi),
            Bytes({'a', '?', 'b', '?', 'c', '?', 'd', '?', '?', 0xD6, 0xD0, '?'}));
}

TEST(MessageBytes, AnsiLongTextCrossesBufferGrowth) {
  // Only replacements and two-byte characters, far beyond any small buffer.
  QString text;
  std::vector<std::uint8_t> expected;
  for (int i = 0; i < 5000; ++i) {
    text += FromUnits({0xD55C, 0x4E2D});
    expected.insert(expected.end(), {'?', 0xD6, 0xD0});
  }
  EXPECT_EQ(MessageBytes(text, TextEncoding::Ansi), expected);
}

} // namespace
} // namespace zub
