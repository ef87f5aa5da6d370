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
//     negative length as an empty message, size functions 0);
//   - the symbol carries exactly the codewords the stream, the padding and
//     the check codewords of its blocks give, in their places;
//   - the picture is (4v + 25) pixels square, black and white only, with a
//     white quiet zone around the matrix MakeMatrix gives;
//   - an encoder that made another symbol before gives the same symbol as
//     a new one;
//   - a reader decodes the picture back to the message bytes, at the level
//     asked for.
#include "FuzzSupport.h"
#include "QrEncoder.h"

#include <ZXing/ReadBarcode.h>

#include <algorithm>
#include <string>
#include <vector>

using zub::BitBuffer;
using zub::KanjiMode;
using zub::Picture;
using zub::QrEncoder;
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
int CheckedStreamBits(const QrEncoder &qr, const std::uint8_t *data, int n, int version,
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

// The size functions take any version: QR versions 1..40, Micro sizes
// -1..-4, and 0 for everything else.
void CheckSizeFunctions(const QrEncoder &qr, int v) {
  const bool full = v >= 1 && v <= 40;
  const bool micro = v >= -4 && v <= -1;
  ZUB_CHECK(QrEncoder::SymbolSize(v) == (full ? 4 * v + 17 : micro ? 9 - 2 * v : 0));
  if (full) {
    // Whole codewords, and the 0, 3, 4 or 7 remainder bits of the versions.
    const int remainder = QrEncoder::DataModules(v) - 8 * QrEncoder::TotalCodewords(v);
    ZUB_CHECK(remainder == 0 || remainder == 3 || remainder == 4 || remainder == 7);
  } else if (!micro) {
    ZUB_CHECK(QrEncoder::DataModules(v) == 0 && QrEncoder::TotalCodewords(v) == 0);
    ZUB_CHECK(QrEncoder::AlignmentPatterns(v) == 0);
    zub::ModuleMatrix matrix(21);
    qr.DrawFunctionPatterns(matrix, v);
    ZUB_CHECK(std::all_of(matrix.cells.begin(), matrix.cells.end(),
                          [](std::uint8_t c) { return c == 0; }));
  }
}

// The codewords a symbol must carry, worked out from the stream and the
// block tables: data codewords with terminator and padding, split into
// blocks (the short ones first), each followed by the remainder of plain
// polynomial division by g(x) = (x - 1)(x - 2)...(x - 2^(E-1)), then
// interleaved column by column.
std::vector<std::uint8_t> ExpectedCodewords(const QrEncoder &qr, const std::uint8_t *data, int n,
                                            int v, int level, KanjiMode kanji) {
  const int B = qr.EcBlocks(v, level);
  const int E = qr.EcCodewords(v, level);
  const int D = qr.DataCodewords(v, level);
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(D) + 1); // + a terminator past the end
  BitBuffer bits(bytes.data(), 8 * (D + 1));
  const int L = qr.BuildDataBits(bits, data, n, v, false, kanji);
  ZUB_CHECK(bits.size() == L && L - 4 <= 8 * D);
  bytes.resize(static_cast<std::size_t>(D)); // the part of the terminator past capacity is cut
  for (int c = (L + 7) / 8, i = 0; c < D; ++c, ++i)
    bytes[static_cast<std::size_t>(c)] = i % 2 == 0 ? 0xEC : 0x11;

  const zub::GaloisField &f = qr.field();
  std::vector<int> g{1}; // coefficients, highest power first
  for (int i = 0, root = 1; i < E; ++i, root = f.Multiply(root, 2)) {
    std::vector<int> next(g.size() + 1, 0);
    for (std::size_t j = 0; j < g.size(); ++j) {
      next[j] ^= g[j];
      next[j + 1] ^= f.Multiply(g[j], root);
    }
    g = next;
  }
  std::vector<std::vector<std::uint8_t>> blockData, blockCheck;
  const int shortBlocks = B - D % B;
  for (int h = 0, c = 0; h < B; ++h) {
    const int length = D / B + (h < shortBlocks ? 0 : 1);
    std::vector<std::uint8_t> block(bytes.begin() + c, bytes.begin() + c + length);
    std::vector<int> rest(block.begin(), block.end());
    rest.resize(block.size() + static_cast<std::size_t>(E), 0);
    for (std::size_t i = 0; i < block.size(); ++i) {
      const int lead = rest[i];
      for (std::size_t j = 0; j < g.size(); ++j)
        rest[i + j] ^= f.Multiply(g[j], lead);
    }
    blockData.push_back(block);
    blockCheck.emplace_back(rest.end() - E, rest.end());
    c += length;
  }
  std::vector<std::uint8_t> out;
  for (std::size_t i = 0; i <= static_cast<std::size_t>(D / B); ++i)
    for (const auto &block : blockData)
      if (i < block.size())
        out.push_back(block[i]);
  for (std::size_t i = 0; i < static_cast<std::size_t>(E); ++i)
    for (const auto &check : blockCheck)
      out.push_back(check[i]);
  return out;
}

// The codewords a symbol carries: its cells without the mask, read in the
// zig-zag of column pairs from the right edge, skipping function modules
// and the timing column. The remainder cells after the last codeword must
// be light.
std::vector<std::uint8_t> CodewordsOf(const QrEncoder &qr, const Symbol &symbol) {
  const int n = symbol.modules.n;
  zub::ModuleMatrix function(n);
  qr.DrawFunctionPatterns(function, symbol.version);
  std::vector<std::uint8_t> cells = symbol.modules.cells;
  QrEncoder::ApplyMask(cells.data(), n, symbol.modules.stride, symbol.mask);
  std::vector<int> bitsRead;
  bool upward = true;
  for (int right = n - 1; right >= 1; right -= 2) {
    if (right == 6)
      right = 5;
    for (int i = 0; i < n; ++i) {
      const int y = upward ? n - 1 - i : i;
      for (int x = right; x >= right - 1; --x)
        if (function.at(x, y) == 0)
          bitsRead.push_back(cells[static_cast<std::size_t>(y * symbol.modules.stride + x)] & 1);
    }
    upward = !upward;
  }
  const int total = QrEncoder::TotalCodewords(symbol.version);
  ZUB_CHECK(static_cast<int>(bitsRead.size()) == QrEncoder::DataModules(symbol.version));
  std::vector<std::uint8_t> out(static_cast<std::size_t>(total), 0);
  for (int i = 0; i < 8 * total; ++i)
    out[static_cast<std::size_t>(i / 8)] |=
        static_cast<std::uint8_t>(bitsRead[static_cast<std::size_t>(i)] << (7 - i % 8));
  for (std::size_t i = 8 * static_cast<std::size_t>(total); i < bitsRead.size(); ++i)
    ZUB_CHECK(bitsRead[i] == 0);
  return out;
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

  QrEncoder qr;
  CheckSizeFunctions(qr, version);
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
  QrEncoder used;
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
  ZUB_CHECK(symbol.modules.n == modules && QrEncoder::SymbolSize(v) == modules);
  ZUB_CHECK(symbol.modules.stride == modules + 3);
  for (int y = 0; y < modules + 3; ++y)
    for (int x = 0; x < modules + 3; ++x) {
      const std::uint8_t cell = symbol.modules.at(x, y);
      ZUB_CHECK(cell <= 1);
      ZUB_CHECK(cell == 0 || (x < modules && y < modules)); // the spare rows stay 0
    }

  // Its codewords: data, padding and check codewords where they belong.
  ZUB_CHECK(CodewordsOf(qr, symbol) ==
            ExpectedCodewords(qr, message.data(), effectiveLength, v, usedLevel, kanji));

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
