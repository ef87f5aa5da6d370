// The encoder's failure value against what the encoder actually makes: for
// every message that does not fit, the facts it tells are the ones that
// encoding at each version and level bears out.
#include "QrEncoder.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

using zub::EncodeFailure;
using zub::KanjiMode;
using zub::QrEncoder;

namespace {

using Reason = EncodeFailure::Reason;

// Messages of every mode and of mixed modes, at lengths around the
// capacities of the version ranges' edges (9/10, 26/27, 40) and levels.
std::vector<std::uint8_t> MessageOf(int kind, int length) {
  std::vector<std::uint8_t> m(static_cast<std::size_t>(length));
  for (int i = 0; i < length; ++i) {
    std::uint8_t b = 0;
    switch (kind) {
    case 0: // digits
      b = static_cast<std::uint8_t>('0' + (i * 7) % 10);
      break;
    case 1: // alphanumeric
      b = static_cast<std::uint8_t>('A' + (i * 5) % 26);
      break;
    case 2: // bytes
      b = static_cast<std::uint8_t>('a' + (i * 3) % 26);
      break;
    case 3: // runs of digits in text, a segment change every few bytes
      b = static_cast<std::uint8_t>(i % 12 < 7 ? '0' + i % 10 : 'a' + i % 26);
      break;
    default: // kanji pairs
      b = static_cast<std::uint8_t>(i % 2 == 0 ? 0x93 : 0x5F);
      break;
    }
    m[static_cast<std::size_t>(i)] = b;
  }
  return m;
}

struct Case {
  int kind;
  int length;
  int eci;
};

TEST(EncodeFailure, TellsWhatEncodingAtEachVersionAndLevelBearsOut) {
  const Case cases[] = {
      {0, 60, 0},   {0, 400, 0},  {0, 660, 26}, {0, 1900, 0}, {0, 5500, 0},  {0, 7089, 0},
      {1, 40, 0},   {1, 330, 0},  {1, 400, 0},  {1, 1200, 0}, {1, 3400, 26}, {1, 4296, 0},
      {2, 30, 0},   {2, 230, 0},  {2, 280, 0},  {2, 850, 0},  {2, 1300, 0},  {2, 2331, 0},
      {2, 2950, 0}, {3, 300, 0},  {3, 900, 0},  {3, 2200, 0}, {4, 170, 0},   {4, 560, 0},
      {4, 1500, 0}, {4, 1817, 0},
  };
  const int versions[] = {0, 1, 5, 9, 10, 14, 26, 27, 33, 40};
  QrEncoder encoder;
  int tooLong = 0;
  for (const Case &c : cases) {
    const std::vector<std::uint8_t> message = MessageOf(c.kind, c.length);
    const auto make = [&](int version, int level, EncodeFailure *failure = nullptr) {
      return encoder.MakeSymbol(message.data(), c.length, version, level, 0, KanjiMode::Allowed,
                                c.eci, failure);
    };
    // What fits where, by encoding.
    std::array<std::array<bool, 5>, 41> fits{};
    for (int v = 1; v <= 40; ++v)
      for (int level = 1; level <= 4; ++level)
        fits[static_cast<std::size_t>(v)][static_cast<std::size_t>(level)] =
            !make(v, level).isNull();
    const auto fitsAt = [&fits](int v, int level) {
      return fits[static_cast<std::size_t>(v)][static_cast<std::size_t>(level)];
    };
    const auto smallest = [&](int level) {
      for (int v = 1; v <= 40; ++v)
        if (fitsAt(v, level))
          return v;
      return 0;
    };
    for (int version : versions)
      for (int level = 1; level <= 4; ++level) {
        SCOPED_TRACE("kind " + std::to_string(c.kind) + ", " + std::to_string(c.length) +
                     " bytes, ECI " + std::to_string(c.eci) + ", version " +
                     std::to_string(version) + ", level " + std::to_string(level));
        EncodeFailure failure;
        failure.reason = Reason::BadEci; // whatever was there before
        if (!make(version, level, &failure).isNull()) {
          EXPECT_EQ(failure, EncodeFailure{});
          continue;
        }
        ++tooLong;
        EXPECT_EQ(failure.reason, Reason::TooLong);
        EXPECT_EQ(failure.version, version);
        EXPECT_EQ(failure.ecLevel, level);
        EXPECT_EQ(failure.smallestVersion, smallest(level));
        EXPECT_EQ(failure.smallestVersionAtL, smallest(zub::kLevelL));
        EXPECT_EQ(failure.lowestLevelFits,
                  version == 0 ? smallest(zub::kLevelL) != 0 : fitsAt(version, zub::kLevelL));
        // The excess against the stream the encoder would write there.
        const int at = version == 0 ? 40 : version;
        std::uint8_t none[1] = {};
        zub::BitBuffer scratch(none, 0);
        const int bits = encoder.BuildDataBits(scratch, message.data(), c.length, at, true,
                                               KanjiMode::Allowed, c.eci);
        EXPECT_EQ(failure.excessBits, bits - 4 - 8 * QrEncoder::DataCodewords(at, level));
        EXPECT_GT(failure.excessBits, 0);
      }
  }
  // The table reaches both sides of the line everywhere it matters.
  EXPECT_GT(tooLong, 100);
}

// Failures that are not about length say only what was asked; a message
// beyond what any symbol holds fits nowhere.
TEST(EncodeFailure, OtherReasonsAndMessagesBeyondEverySymbol) {
  QrEncoder encoder;
  const std::vector<std::uint8_t> digits(zub::kMaxMessageBytes + 1, '7');
  const std::vector<std::uint8_t> text(20, 'a');
  const struct {
    const std::vector<std::uint8_t> *message;
    int version, level, eci;
    EncodeFailure::Reason reason;
    int version_told, level_told;
  } rows[] = {
      {&text, -1, 2, 0, Reason::BadVersion, -1, 2}, {&text, 3, 4, 1000000, Reason::BadEci, 3, 4},
      {&text, 41, 9, -5, Reason::BadEci, 0, 2},     {&digits, 0, 1, 0, Reason::TooLong, 0, 1},
      {&digits, 12, 3, 0, Reason::TooLong, 12, 3},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(std::to_string(row.version) + "/" + std::to_string(row.level));
    EncodeFailure failure;
    EXPECT_TRUE(encoder
                    .MakeSymbol(row.message->data(), static_cast<int>(row.message->size()),
                                row.version, row.level, 0, KanjiMode::Allowed, row.eci, &failure)
                    .isNull());
    EXPECT_EQ(failure.reason, row.reason);
    EXPECT_EQ(failure.version, row.version_told);
    EXPECT_EQ(failure.ecLevel, row.level_told);
    EXPECT_EQ(failure.smallestVersion, 0);
    EXPECT_EQ(failure.smallestVersionAtL, 0);
    EXPECT_FALSE(failure.lowestLevelFits);
    if (row.reason == Reason::TooLong)
      EXPECT_GT(failure.excessBits, 0);
    else
      EXPECT_EQ(failure.excessBits, 0);
  }
}

} // namespace
