#include "QrEncoder.h"
#include "StreamReference.h"

#include "TestBytes.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

using zub::BitBuffer;
using zub::KanjiMode;
using zub::QrEncoder;

using zub::test::BytesOf;

namespace {

struct Stream {
  int length = 0;
  std::string bits; // '0'/'1' per bit
};

Stream Build(const QrEncoder &qr, const std::vector<std::uint8_t> &data, int version,
             KanjiMode kanji = KanjiMode::Allowed) {
  std::vector<std::uint8_t> storage(8192, 0);
  BitBuffer bits(storage.data(), 8 * 8192);
  Stream s;
  s.length =
      qr.BuildDataBits(bits, data.data(), static_cast<int>(data.size()), version, false, kanji);
  for (int i = 0; i < bits.size(); ++i)
    s.bits += bits.bit(i) ? '1' : '0';
  return s;
}

int Estimate(const QrEncoder &qr, const std::vector<std::uint8_t> &data, int version,
             KanjiMode kanji = KanjiMode::Allowed) {
  std::uint8_t scratch[1] = {};
  BitBuffer bits(scratch, 8);
  return qr.BuildDataBits(bits, data.data(), static_cast<int>(data.size()), version, true, kanji);
}

std::string Strip(const char *grouped) {
  std::string s;
  for (const char *p = grouped; *p; ++p)
    if (*p == '0' || *p == '1')
      s += *p;
  return s;
}

} // namespace

TEST(Segmentation, WrittenStreamsOfSmallMessages) {
  const QrEncoder qr;
  struct Case {
    std::vector<std::uint8_t> data;
    const char *bits;
  };
  const Case cases[] = {
      {BytesOf("01234567"), "0001 0000001000 0000001100 0101011001 1000011 0000"},
      {BytesOf("AC-42"), "0010 000000101 00111001110 11100111001 000010 0000"},
      {{0x93, 0x5F, 0xE4, 0xAA}, "1000 00000010 0110110011111 1101010101010 0000"},
      {BytesOf("5"), "0001 0000000001 0101 0000"},
      {BytesOf("A"), "0010 000000001 001010 0000"},
      {{}, "0000"},
      {{0x81, 0x7F}, "1000 00000001 0000000111111 0000"}, // kanji value 63
  };
  for (const Case &c : cases) {
    const Stream s = Build(qr, c.data, 1);
    EXPECT_EQ(s.bits, Strip(c.bits));
    EXPECT_EQ(s.length, static_cast<int>(s.bits.size()));
    EXPECT_EQ(Estimate(qr, c.data, 1), s.length);
  }
}

TEST(Segmentation, EmptyMessageWritesTheTerminatorEvenWhenEstimating) {
  const QrEncoder qr;
  std::uint8_t storage[1] = {0xFF};
  BitBuffer bits(storage, 8);
  EXPECT_EQ(qr.BuildDataBits(bits, nullptr, 0, 1, true), 4);
  EXPECT_EQ(bits.size(), 4);
}

TEST(Segmentation, ChoosesTheCheapestModesWithLowIndexOnTies) {
  const QrEncoder qr;
  struct Case {
    std::string text;
    int version;
    int length;
    const char *modes; // mode indicator prefix of the stream
  };
  const Case cases[] = {
      {"a1", 1, 32, "0100"},
      {"abcde 12345678 abcde", 1, 165, "0100"},
      {"ABC0123456789", 1, 82, "0010"},
      {"a123", 1, 48, "0100"}, // byte+numeric costs the same: the byte segment wins
      {"123a", 1, 48, "0100"},
      {"a1234", 1, 52, "0100"},
  };
  for (const Case &c : cases) {
    const Stream s = Build(qr, BytesOf(c.text), c.version);
    EXPECT_EQ(s.length, c.length) << c.text;
    EXPECT_EQ(s.bits.substr(0, 4), c.modes) << c.text;
  }
  // byte(6) numeric(8) byte(6): the numeric segment starts after 4+8+48 bits.
  const Stream mixed = Build(qr, BytesOf("abcde 12345678 abcde"), 1);
  EXPECT_EQ(mixed.bits.substr(60, 14), "00010000001000");
  // a123 is a single segment of 4 bytes.
  EXPECT_EQ(Build(qr, BytesOf("a123"), 1).bits.substr(4, 8), "00000100");
  // a1234 is byte(1) then numeric(4).
  EXPECT_EQ(Build(qr, BytesOf("a1234"), 1).bits.substr(20, 4), "0001");
}

TEST(Segmentation, LongRunsSplitAtTheCountLimit) {
  const QrEncoder qr;
  const std::vector<std::uint8_t> letters(256, 'a');
  EXPECT_EQ(Build(qr, letters, 1).length, 2076);
  EXPECT_EQ(Build(qr, letters, 10).length, 2072);

  const Stream digits = Build(qr, std::vector<std::uint8_t>(1024, '7'), 1);
  EXPECT_EQ(digits.length, 3446);
  EXPECT_EQ(Build(qr, std::vector<std::uint8_t>(512, 'Q'), 1).length, 2847);

  std::vector<std::uint8_t> kanji;
  for (int i = 0; i < 256; ++i) {
    kanji.push_back(0x93);
    kanji.push_back(0x5F);
  }
  const Stream k = Build(qr, kanji, 1);
  EXPECT_EQ(k.length, 3356);
  EXPECT_EQ(k.bits.substr(0, 12), "100011111111");
  const std::size_t second = 12 + 255 * 13;
  EXPECT_EQ(k.bits.substr(second, 12), "100000000001");
}

TEST(Segmentation, KanjiTestAndTheExclusionSwitch) {
  EXPECT_TRUE(QrEncoder::IsKanjiPair(0x81, 0x7F));
  EXPECT_FALSE(QrEncoder::IsKanjiPair(0x81, 0x3F));
  EXPECT_FALSE(QrEncoder::IsKanjiPair(0xEB, 0xC0));
  EXPECT_TRUE(QrEncoder::IsKanjiPair(0xEB, 0xBF));
  EXPECT_TRUE(QrEncoder::IsKanjiPair(0xE0, 0xFF));
  EXPECT_FALSE(QrEncoder::IsKanjiPair(0xA0, 0x80));

  const QrEncoder qr;
  // "文文文" in UTF-8 passes the kanji test pair after pair...
  const std::vector<std::uint8_t> utf8 = {0xE6, 0x96, 0x87, 0xE6, 0x96, 0x87, 0xE6, 0x96, 0x87};
  EXPECT_NE(Build(qr, utf8, 1).bits.find("1000"), std::string::npos);
  // ...and is one byte segment when kanji mode is excluded.
  const Stream bytes = Build(qr, utf8, 1, KanjiMode::Excluded);
  EXPECT_EQ(bytes.length, 4 + 8 + 72 + 4);
  EXPECT_EQ(bytes.bits.substr(0, 4), "0100");
}

TEST(Segmentation, EstimateEqualsWrittenLengthForRandomMessages) {
  const QrEncoder qr;
  std::mt19937 rng(2024);
  // Alphabets that make every mode and every switch between modes likely.
  const std::string pools[] = {"0123456789", "ABCXYZ $%*+-./:", "abcxyz!?", "\x93\x5F\xE4\xAA"};
  for (int round = 0; round < 300; ++round) {
    std::vector<std::uint8_t> data;
    const int len = static_cast<int>(rng() % 400);
    while (static_cast<int>(data.size()) < len) {
      const std::string &pool = pools[rng() % 4];
      const int run = 1 + static_cast<int>(rng() % 12);
      for (int i = 0; i < run; ++i)
        data.push_back(static_cast<std::uint8_t>(pool[rng() % pool.size()]));
    }
    if (round % 5 == 0)
      for (auto &b : data)
        b = static_cast<std::uint8_t>(rng());
    for (int version : {1, 10, 27})
      for (KanjiMode kanji : {KanjiMode::Allowed, KanjiMode::Excluded}) {
        const Stream s = Build(qr, data, version, kanji);
        ASSERT_EQ(s.length, static_cast<int>(s.bits.size()));
        ASSERT_EQ(Estimate(qr, data, version, kanji), s.length) << "round " << round;
      }
  }
}

// An ECI header goes in front of the stream it would otherwise be, with the
// designator's length announced by its leading bits; 0 writes none.
TEST(Segmentation, EciHeaderPrecedesTheSameStream) {
  const QrEncoder qr;
  const std::vector<std::uint8_t> data = BytesOf("AC-42");
  const std::string plain = Build(qr, data, 1).bits;
  struct Case {
    int eci;
    const char *header;
  };
  const Case cases[] = {
      {0, ""},
      {3, "0111 00000011"},
      {26, "0111 00011010"},
      {127, "0111 01111111"},
      {128, "0111 10000000 10000000"},
      {16383, "0111 10111111 11111111"},
      {16384, "0111 11000000 01000000 00000000"},
      {999999, "0111 11001111 01000010 00111111"},
  };
  for (const Case &c : cases) {
    std::vector<std::uint8_t> storage(64, 0);
    BitBuffer bits(storage.data(), 8 * 64);
    const int length = qr.BuildDataBits(bits, data.data(), static_cast<int>(data.size()), 1, false,
                                        KanjiMode::Allowed, c.eci);
    std::string written;
    for (int i = 0; i < bits.size(); ++i)
      written += bits.bit(i) ? '1' : '0';
    EXPECT_EQ(written, Strip(c.header) + plain) << c.eci;
    EXPECT_EQ(length, static_cast<int>(written.size())) << c.eci;
    EXPECT_EQ(QrEncoder::EciBits(c.eci), static_cast<int>(Strip(c.header).size())) << c.eci;
  }
  for (int bad : {-1, 1000000}) {
    std::uint8_t storage[8] = {};
    BitBuffer bits(storage, 64);
    EXPECT_EQ(qr.BuildDataBits(bits, data.data(), 5, 1, false, KanjiMode::Allowed, bad), -1);
    EXPECT_EQ(bits.size(), 0);
  }
}

// Every one of the 45 alphanumeric characters keeps a message of 25 of them
// one alphanumeric segment, which just fits version 1-L; a byte next to
// them in the code table breaks the segment.
TEST(Segmentation, TheAlphanumericCharactersAndTheirNeighbours) {
  QrEncoder qr;
  const std::string alphanumeric = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ $%*+-./:";
  ASSERT_EQ(alphanumeric.size(), 45u);
  // Indicator 0010, count 25, 12 pairs of 11 bits and one of 6, terminator.
  const std::string oneSegment = "0010"
                                 "000011001";
  for (const char c : alphanumeric) {
    std::vector<std::uint8_t> message(24, 'Q');
    message.insert(message.begin() + 12, static_cast<std::uint8_t>(c));
    const Stream s = Build(qr, message, 1);
    EXPECT_EQ(s.length, 4 + 9 + 12 * 11 + 6 + 4) << "'" << c << "'";
    EXPECT_EQ(s.bits.substr(0, 13), oneSegment) << "'" << c << "'";
    EXPECT_FALSE(qr.MakeSymbol(message.data(), 25, 1, zub::kLevelL, 0).isNull()) << "'" << c << "'";
  }
  for (const char c : std::string("!\"#&',;=?@[`az~")) {
    std::vector<std::uint8_t> message(24, 'Q');
    message.insert(message.begin() + 12, static_cast<std::uint8_t>(c));
    EXPECT_NE(Build(qr, message, 1).bits.substr(0, 13), oneSegment) << "'" << c << "'";
    EXPECT_TRUE(qr.MakeSymbol(message.data(), 25, 1, zub::kLevelL, 0).isNull()) << "'" << c << "'";
  }
}

// With kanji allowed, four pairs at the edges of the Shift JIS ranges are
// one kanji segment (13 bits each); one past an edge they are bytes.
TEST(Segmentation, ShiftJisEdgesOfKanjiMode) {
  const QrEncoder qr;
  struct Case {
    std::uint8_t first, second;
    bool kanji;
  };
  for (const Case &c : {
           Case{0x81, 0x40, true},
           Case{0x9F, 0x40, true},
           Case{0xE0, 0x40, true},
           Case{0xEA, 0xFC, true},
           Case{0xEB, 0x40, true},
           Case{0xEB, 0xBF, true},
           Case{0x81, 0xFC, true},
           Case{0x9F, 0xFC, true},
           Case{0x80, 0x40, false},
           Case{0xA0, 0x40, false},
           Case{0xDF, 0x40, false},
           Case{0xEC, 0x40, false},
           Case{0x81, 0x3F, false},
           Case{0xE0, 0x3F, false},
           Case{0xEB, 0xC0, false},
       }) {
    std::vector<std::uint8_t> message;
    for (int k = 0; k < 4; ++k)
      message.insert(message.end(), {c.first, c.second});
    const Stream s = Build(qr, message, 1);
    if (c.kanji) {
      EXPECT_EQ(s.length, 4 + 8 + 4 * 13 + 4) << std::hex << int(c.first) << " " << int(c.second);
      EXPECT_EQ(s.bits.substr(0, 12), "1000"
                                      "00000100");
    } else {
      EXPECT_EQ(s.length, 4 + 8 + 8 * 8 + 4) << std::hex << int(c.first) << " " << int(c.second);
      EXPECT_EQ(s.bits.substr(0, 12), "0100"
                                      "00001000");
    }
  }
}

// The planner's segments and length are those of a plain search over every
// character and mode, and the stream reads back as the message. Texts are
// runs drawn from pools of characters (fixed seed), in shapes that make
// every mode, every switch and every count limit of the three count-field
// groups likely.
TEST(Segmentation, SameSegmentsAsThePlainSearch) {
  struct Pool {
    std::string characters; // pairs of bytes for kanji
    int unit;
  };
  const Pool pools[] = {
      {"0123456789", 1},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZ $%*+-./:", 1},
      {"abcxyz!?#&@[_~\n", 1},
      // Kanji pairs, some with a second byte that is a capital or '@', and
      // the edges of the lead-byte ranges.
      {"\x93\x5F\xE4\xAA\x81\x40\x81\x41\x88\x5A\x9F\xFC\xE0\x40\xEA\xFF\xEB\xBF", 2},
      {"\xE6\x96\x87\xE5\xAD\x97\xC3\xA9\x80\xA0\xEB\xC0\xEC", 1}, // UTF-8 and non-kanji high bytes
  };
  struct Shape {
    const char *what;
    std::vector<int> pools;
    int shortestRun, longestRun; // characters
    int length;                  // bytes, about
    int texts;
  };
  const Shape shapes[] = {
      {"short runs of every kind", {0, 1, 2, 3, 4}, 1, 6, 60, 150},
      {"digits, capitals, lowercase in runs of 1-20", {0, 1, 2}, 1, 20, 400, 40},
      {"kanji among digits and capitals", {0, 1, 3}, 1, 12, 300, 40},
      {"kanji next to UTF-8 and plain bytes", {2, 3, 4}, 1, 8, 200, 40},
      {"digits and capitals, long runs", {0, 1}, 10, 80, 600, 20},
      {"count limits of versions 1-9", {0, 1, 2, 3}, 200, 1100, 2300, 4},
      {"count limits of versions 10-26", {1, 3}, 1000, 2100, 2600, 2},
  };
  constexpr int kFirstVersion[3] = {1, 10, 27}; // of each count-field group
  std::mt19937 rng(613);
  for (const Shape &shape : shapes) {
    for (int text = 0; text < shape.texts; ++text) {
      std::vector<std::uint8_t> data;
      while (static_cast<int>(data.size()) < shape.length) {
        const Pool &pool = pools[shape.pools[rng() % shape.pools.size()]];
        const auto span = static_cast<unsigned>(shape.longestRun - shape.shortestRun + 1);
        const int run = shape.shortestRun + static_cast<int>(rng() % span);
        const auto choices = pool.characters.size() / static_cast<std::size_t>(pool.unit);
        for (int i = 0; i < run; ++i) {
          const std::size_t c = rng() % choices * static_cast<std::size_t>(pool.unit);
          data.insert(data.end(), pool.characters.begin() + static_cast<std::ptrdiff_t>(c),
                      pool.characters.begin() + static_cast<std::ptrdiff_t>(c) + pool.unit);
        }
      }
      const int n = static_cast<int>(data.size());
      for (int group = 0; group < 3; ++group)
        for (KanjiMode kanji : {KanjiMode::Allowed, KanjiMode::Excluded}) {
          const bool kanjiAllowed = kanji == KanjiMode::Allowed;
          const QrEncoder qr;
          std::vector<std::uint8_t> storage(static_cast<std::size_t>(n) + 64, 0);
          BitBuffer bits(storage.data(), 8 * static_cast<int>(storage.size()));
          const int length =
              qr.BuildDataBits(bits, data.data(), n, kFirstVersion[group], false, kanji);
          ASSERT_EQ(length, bits.size());
          const std::string where = std::string(shape.what) + ", text " + std::to_string(text) +
                                    ", group " + std::to_string(group) +
                                    (kanjiAllowed ? ", kanji allowed" : ", kanji excluded");
          int plainBits = 0;
          const std::vector<zub::fuzz::Segment> plain =
              zub::fuzz::PlainSegmentation(data.data(), n, group, kanjiAllowed, plainBits);
          ASSERT_EQ(length - 4, plainBits) << where;
          std::vector<std::uint8_t> parsed;
          zub::fuzz::StreamParser parser(bits, 0, length);
          ASSERT_TRUE(parser.Parse(group, kanjiAllowed, parsed)) << where;
          ASSERT_EQ(parsed, data) << where;
          ASSERT_TRUE(parser.segments() == plain) << where;
        }
    }
  }
}
