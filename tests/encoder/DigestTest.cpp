// Pins the symbols themselves: a 64-bit FNV-1a digest over the module
// matrices and pictures of a fixed table of messages, versions, levels and
// masks. The digests were taken from the encoder before its internals were
// rewritten for speed; any change to a single module or pixel shows here.
#include "QrEncoder.h"

#include "TestBytes.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

using zub::KanjiMode;
using zub::Picture;
using zub::QrEncoder;
using zub::Symbol;

using zub::test::BytesOf;

namespace {

class Fnv64 {
public:
  void Add(std::uint8_t byte) {
    hash_ ^= byte;
    hash_ *= 0x100000001B3ULL;
  }
  void AddInt(int value) {
    for (int k = 0; k < 4; ++k)
      Add(static_cast<std::uint8_t>(static_cast<unsigned>(value) >> (8 * k)));
  }
  std::uint64_t value() const { return hash_; }

private:
  std::uint64_t hash_ = 0xCBF29CE484222325ULL;
};

// Runs of digits, capitals, lowercase letters and Shift JIS double bytes
// (some of them outside the kanji range), from a fixed linear congruential
// sequence, so the digest does not depend on the standard library's random
// engines. `kinds` 1 gives lowercase letters only.
std::vector<std::uint8_t> Mixed(std::size_t length, std::uint32_t seed, std::uint32_t kinds = 4) {
  std::uint32_t state = seed;
  auto next = [&state](std::uint32_t below) {
    state = state * 1664525u + 1013904223u;
    return (state >> 8) % below;
  };
  const std::string alphabets[3] = {
      "0123456789", "ABCDEFGHIJKLMNOPQRSTUVWXYZ $%*+-./:", "abcdefghijklmnopqrstuvwxyz"};
  std::vector<std::uint8_t> out;
  while (out.size() < length) {
    const std::uint32_t kind = kinds == 1 ? 2 : next(kinds);
    const std::uint32_t run = 1 + next(40);
    for (std::uint32_t i = 0; i < run && out.size() < length; ++i) {
      if (kind == 3) {
        // 0x81..0x9F, 0xE0..0xEB, or 0xA5 (not a kanji first byte)
        const std::uint32_t first = next(44);
        out.push_back(static_cast<std::uint8_t>(first < 31   ? 0x81 + first
                                                : first < 43 ? 0xE0 + (first - 31)
                                                             : 0xA5));
        out.push_back(static_cast<std::uint8_t>(0x3F + next(0xC1))); // 0x3F..0xFF
      } else {
        const std::string &alphabet = alphabets[kind];
        out.push_back(
            static_cast<std::uint8_t>(alphabet[next(static_cast<std::uint32_t>(alphabet.size()))]));
      }
    }
  }
  out.resize(length);
  return out;
}

struct DigestCase {
  const char *name;
  std::vector<std::uint8_t> message;
  KanjiMode kanji;
  std::vector<int> versions;
  std::uint64_t digest;
};

// Every version given, levels 0..5 and masks -1..8 (the ones outside the
// ranges fall back): the matrix of each and the picture of each, or a mark
// where the message does not fit.
std::uint64_t DigestOf(const DigestCase &c) {
  QrEncoder qr;
  Fnv64 h;
  const int length = static_cast<int>(c.message.size());
  for (int version : c.versions)
    for (int level = 0; level <= 5; ++level)
      for (int mask = -1; mask <= 8; ++mask) {
        Symbol s;
        if (!qr.MakeMatrix(c.message.data(), length, version, level, mask, c.kanji, s)) {
          h.AddInt(-1);
        } else {
          h.AddInt(s.version);
          h.AddInt(s.ecLevel);
          h.AddInt(s.mask);
          h.AddInt(s.modules.n);
          for (int y = 0; y < s.modules.stride; ++y)
            for (int x = 0; x < s.modules.stride; ++x)
              h.Add(s.modules.at(x, y));
        }
        const Picture p = qr.MakeSymbol(c.message.data(), length, version, level, mask, c.kanji);
        if (p.isNull()) {
          h.AddInt(-1);
          continue;
        }
        h.AddInt(p.width());
        h.AddInt(p.height());
        for (int y = 0; y < p.height(); ++y)
          for (int x = 0; x < p.width(); ++x)
            h.Add(p.pixel(x, y));
      }
  return h.value();
}

std::vector<DigestCase> Cases() {
  std::vector<std::uint8_t> allBytes;
  for (int b = 0; b < 256; ++b)
    allBytes.push_back(static_cast<std::uint8_t>(b));
  // Shift JIS: a run of kanji characters, the range's edges, and a pair
  // just outside it.
  const auto kanji = BytesOf("\x93\xfa\x96\x7b\x8c\xea\x82\xcc\x95\xb6\x8e\x9a\x97\xf1\x81\x40"
                             "\xe0\x40\xeb\xbf abc \xeb\xc0\x9f\xfc");
  const std::vector<int> small = {0, 1, 2, 6, 7, 9, 41};
  const std::vector<int> middle = {0, 10, 13, 20, 26};
  const std::vector<int> large = {0, 27, 33, 40};
  return {
      {"empty", {}, KanjiMode::Allowed, small, 0xc158d088c160f22dULL},
      {"url", BytesOf("https://example.com/q7x"), KanjiMode::Allowed, small, 0x6f1d0160bcbf1da3ULL},
      {"digits", BytesOf("01234567890123456789012345678"), KanjiMode::Allowed, small,
       0xa99255f195e9276bULL},
      {"alphanumeric", BytesOf("HELLO WORLD $%*+-./: 0123"), KanjiMode::Allowed, small,
       0x11b1ba233131dd4bULL},
      {"shift-jis allowed", kanji, KanjiMode::Allowed, small, 0xad068fcfa37dfdadULL},
      {"shift-jis excluded", kanji, KanjiMode::Excluded, small, 0x23b20f5156a266f9ULL},
      {"utf-8 chinese", BytesOf("生成二维码：Zub 二维码生成器 2026"), KanjiMode::Allowed, small,
       0x66aad3762af594c1ULL},
      {"every byte value", allBytes, KanjiMode::Allowed, middle, 0x282fcab016f87ffdULL},
      {"mixed 300", Mixed(300, 1), KanjiMode::Allowed, middle, 0x17ef2698a0ed5de9ULL},
      {"mixed 1500", Mixed(1500, 2), KanjiMode::Allowed, large, 0x4c9fabdfdd0db39fULL},
      {"mixed 1500 excluded", Mixed(1500, 2), KanjiMode::Excluded, large, 0x2ba796614266180fULL},
      {"lowercase 2953", Mixed(2953, 3, 1), KanjiMode::Allowed, large, 0x2b12df3fe3c17075ULL},
      {"digits 7089",
       std::vector<std::uint8_t>(7089, '7'),
       KanjiMode::Allowed,
       {0, 40},
       0xafb809face0b7a5ULL},
  };
}

} // namespace

TEST(SymbolDigest, EverySymbolOfTheTableIsUnchanged) {
  for (const DigestCase &c : Cases()) {
    const std::uint64_t digest = DigestOf(c);
    EXPECT_EQ(digest, c.digest) << c.name << ": 0x" << std::hex << digest << "ULL";
  }
}
