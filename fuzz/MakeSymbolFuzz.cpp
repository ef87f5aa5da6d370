// The whole encoder under arbitrary input: message bytes with any version,
// level and mask a caller could pass, in both kanji modes.
//
// Input layout: version, level and mask (FuzzInput::Choice each), a flag
// byte, then a second set of version, level, mask and a prefix length for
// an earlier call on the same encoder, then the message.
//   flags bit 0: KanjiMode::Excluded
//   flags bit 1: pass a negative length (bit 2: INT_MIN, else -1)
//
// Properties beyond survival:
//   - the stream estimate equals the written length, in all three version
//     groups, and the writer stays within a buffer of exactly that length;
//   - a symbol comes back exactly when the message fits: a fixed version
//     is honoured, the automatic choice is the smallest version that fits;
//   - arguments out of range act as documented (level M, mask 0, a
//     negative length as an empty message);
//   - the picture is (4v + 25) pixels square, black and white only, with a
//     white quiet zone around the matrix MakeMatrix gives;
//   - an encoder that made another symbol before gives the same symbol as
//     a new one;
//   - a reader decodes the picture back to the message bytes, at the level
//     asked for.
#include "FuzzSupport.h"
#include "clsQRCode.h"

#include <ZXing/ReadBarcode.h>

#include <algorithm>
#include <cstring>
#include <vector>

using zub::BitBuffer;
using zub::clsQRCode;
using zub::KanjiMode;
using zub::Picture;
using zub::Symbol;
using zub::fuzz::FuzzInput;

namespace {

// Messages up to this length are read back; longer ones only every so
// often, since the reader dominates the time of a run.
constexpr int kAlwaysDecodeBytes = 300;
constexpr int kMaxDecodeBytes = 3000;
// The one version of each group of count-field widths.
constexpr int kGroupVersion[3] = {1, 10, 27};

int GroupOf(int version) {
  if (version <= 9)
    return 0;
  return version <= 26 ? 1 : 2;
}

// Writes the stream into a buffer of exactly its estimated length and
// returns that length, checking that both agree.
int CheckedStreamBits(const clsQRCode &qr, const std::uint8_t *data, int n, int version,
                      KanjiMode kanji) {
  std::uint8_t four[1] = {};
  BitBuffer none(four, 4); // the empty message writes its terminator even when estimating
  const int estimate = qr.BuildDataBits(none, data, n, version, true, kanji);
  ZUB_CHECK(estimate >= 4);
  ZUB_CHECK(none.size() == (n > 0 ? 0 : 4));

  std::vector<std::uint8_t> storage(static_cast<std::size_t>(estimate + 7) / 8);
  BitBuffer bits(storage.data(), estimate);
  const int written = qr.BuildDataBits(bits, data, n, version, false, kanji);
  ZUB_CHECK(written == estimate);
  ZUB_CHECK(bits.size() == written);
  // The stream ends in its terminator.
  for (int i = written - 4; i < written; ++i)
    ZUB_CHECK(bits.bit(i) == 0);
  return estimate;
}

// The reader's view of the picture: bytes and level, or nothing.
struct Reading {
  bool ok = false;
  std::vector<std::uint8_t> bytes;
  std::string ecLevel;
  bool mirrored = false;
};

Reading Read(const Picture &p) {
  // Enlarged so that the reader's sampling meets whole modules.
  constexpr int kScale = 2;
  const int w = p.width() * kScale;
  const int h = p.height() * kScale;
  std::vector<std::uint8_t> lum(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      lum[static_cast<std::size_t>(y * w + x)] = p.pixel(x / kScale, y / kScale);
  ZXing::DecodeHints hints;
  hints.setFormats(ZXing::BarcodeFormat::QRCode);
  hints.setIsPure(true);
  hints.setBinarizer(ZXing::Binarizer::FixedThreshold);
  hints.setTryRotate(false);
  hints.setTryDownscale(false);
  const auto results = ZXing::ReadBarcodes({lum.data(), w, h, ZXing::ImageFormat::Lum}, hints);
  Reading r;
  if (results.empty() || !results.front().isValid())
    return r;
  const auto &bytes = results.front().bytes();
  r.ok = true;
  r.bytes.assign(bytes.begin(), bytes.end());
  r.ecLevel = results.front().ecLevel();
  r.mirrored = results.front().isMirrored();
  return r;
}

bool SameSymbol(const Symbol &a, const Symbol &b) {
  return a.version == b.version && a.ecLevel == b.ecLevel && a.mask == b.mask &&
         a.modules.n == b.modules.n && a.modules.cells == b.modules.cells;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  FuzzInput in(data, size);
  const int version = in.Choice(-3, 46);
  const int level = in.Choice(-1, 7);
  const int mask = in.Choice(-1, 10);
  const std::uint8_t flags = in.Byte();
  const int earlierVersion = in.Choice(-1, 43);
  const int earlierLevel = in.Choice(0, 6);
  const int earlierMask = in.Choice(-1, 10);
  const int earlierLength = in.Below(1 << 16);
  const KanjiMode kanji = flags & 1 ? KanjiMode::Excluded : KanjiMode::Allowed;

  // The message in a buffer of exactly its size, so that any read past it
  // is caught.
  const std::vector<std::uint8_t> message(in.rest(), in.rest() + in.remaining());
  const int n = static_cast<int>(message.size());
  const int length = flags & 2 ? (flags & 4 ? INT_MIN : -1) : n;
  const int effectiveLength = std::max(length, 0);

  const int usedLevel = level >= 1 && level <= 4 ? level : zub::kLevelM;
  const int usedMask = mask >= 0 && mask <= 7 ? mask : 0;

  clsQRCode qr;
  int streamBits[3];
  for (int g = 0; g < 3; ++g)
    streamBits[g] = CheckedStreamBits(qr, message.data(), effectiveLength, kGroupVersion[g], kanji);
  const auto fits = [&](int v) {
    return streamBits[GroupOf(v)] - 4 <= 8 * qr.DataCodewords(v, usedLevel);
  };
  int expectedVersion = 0; // none
  if (version >= 1 && version <= 40) {
    expectedVersion = fits(version) ? version : 0;
  } else if (version == 0 || version > 40) {
    for (int v = 1; v <= 40 && expectedVersion == 0; ++v)
      if (fits(v))
        expectedVersion = v;
  }

  // A used encoder: another symbol first, from a prefix of the message.
  clsQRCode used;
  const int earlierN = std::min(earlierLength, n);
  (void)used.MakeSymbol(message.data(), earlierN, earlierVersion, earlierLevel, earlierMask,
                        kanji == KanjiMode::Allowed ? KanjiMode::Excluded : KanjiMode::Allowed);

  Symbol symbol;
  const bool made = qr.MakeMatrix(message.data(), length, version, level, mask, kanji, symbol);
  ZUB_CHECK(made == (expectedVersion != 0));
  Symbol again;
  const bool madeAgain =
      used.MakeMatrix(message.data(), length, version, level, mask, kanji, again);
  ZUB_CHECK(madeAgain == made);
  const Picture picture = used.MakeSymbol(message.data(), length, version, level, mask, kanji);
  ZUB_CHECK(picture.isNull() == !made);
  if (!made)
    return 0;
  ZUB_CHECK(SameSymbol(symbol, again));

  // The symbol.
  const int v = symbol.version;
  const int modules = 4 * v + 17;
  ZUB_CHECK(v == expectedVersion);
  ZUB_CHECK(symbol.ecLevel == usedLevel);
  ZUB_CHECK(symbol.mask == usedMask);
  ZUB_CHECK(symbol.modules.n == modules && clsQRCode::SymbolSize(v) == modules);
  ZUB_CHECK(symbol.modules.stride == modules + 3);
  for (int y = 0; y < modules + 3; ++y)
    for (int x = 0; x < modules + 3; ++x) {
      const std::uint8_t cell = symbol.modules.at(x, y);
      ZUB_CHECK(cell <= 1);
      ZUB_CHECK(cell == 0 || (x < modules && y < modules)); // the spare rows stay 0
    }

  // Its picture: the matrix inside a white quiet zone of 4 pixels.
  ZUB_CHECK(picture.width() == 4 * v + 25);
  ZUB_CHECK(picture.height() == 4 * v + 25);
  ZUB_CHECK(picture.bytesPerLine() >= picture.width());
  for (int y = 0; y < picture.height(); ++y)
    for (int x = 0; x < picture.width(); ++x) {
      const std::uint8_t px = picture.pixel(x, y);
      const bool inside = x >= 4 && y >= 4 && x < 4 + modules && y < 4 + modules;
      const bool dark = inside && symbol.modules.at(x - 4, y - 4) == 1;
      ZUB_CHECK(px == (dark ? Picture::kBlack : Picture::kWhite));
    }

  // Read back. Long messages only for about one input in eight.
  if (effectiveLength > kMaxDecodeBytes)
    return 0;
  if (effectiveLength > kAlwaysDecodeBytes &&
      (message[0] ^ message[static_cast<std::size_t>(n - 1)]) % 8 != 0)
    return 0;
  const Reading reading = Read(picture);
  ZUB_CHECK(reading.ok);
  ZUB_CHECK(!reading.mirrored);
  ZUB_CHECK(reading.ecLevel == std::string(1, "LMQH"[usedLevel - 1]));
  ZUB_CHECK(std::equal(reading.bytes.begin(), reading.bytes.end(), message.begin(),
                       message.begin() + effectiveLength) &&
            static_cast<int>(reading.bytes.size()) == effectiveLength);
  return 0;
}
