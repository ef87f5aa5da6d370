// The encoder's driver: message bytes to a finished symbol, step by step.
#include "clsQRCode.h"

#include "mdlFakeBarCode.h"

#include <array>
#include <new>

namespace zub {

namespace {

constexpr int kMaxDataCodewords = 2956; // version 40-L
// The densest mode packs three digits into 10 bits, so no message longer
// than the digits 40-L holds can fit any symbol.
constexpr int kMaxMessageBytes = 7089;
// Version ranges that share the widths of the character-count fields.
constexpr int kVersionRanges[3][2] = {{1, 9}, {10, 26}, {27, 40}};
constexpr std::uint8_t kPadCodewords[2] = {0xEC, 0x11};

} // namespace

int clsQRCode::ChooseVersion(const std::uint8_t *data, int length, int ecLevel,
                             KanjiMode kanji) const {
  std::uint8_t scratch[1] = {0};
  for (const auto &range : kVersionRanges) {
    BitBuffer estimate(scratch, 8);
    const int L = BuildDataBits(estimate, data, length, range[0], true, kanji);
    // The terminator does not count against the capacity.
    for (int v = range[0]; v <= range[1]; ++v)
      if (L - 4 <= 8 * DataCodewords(v, ecLevel))
        return v;
  }
  return 0;
}

bool clsQRCode::MakeMatrix(const std::uint8_t *data, int length, int version, int ecLevel, int mask,
                           KanjiMode kanji, Symbol &out) {
  // 1. Normalise the arguments.
  if (ecLevel < 1 || ecLevel > 4)
    ecLevel = kLevelM;
  if (version < 0 || length > kMaxMessageBytes)
    return false;
  if (length < 0)
    length = 0;

  // 2. Version choice: the smallest version whose data capacity holds the stream.
  int v = version;
  if (v == 0 || v > 40) {
    v = ChooseVersion(data, length, ecLevel, kanji);
    if (v == 0)
      return false;
  }

  // 3-4. Data bits for that version, refused before writing if they do not fit.
  const int B = EcBlocks(v, ecLevel);
  const int E = EcCodewords(v, ecLevel);
  const int T = TotalCodewords(v);
  const int D = T - B * E;
  std::array<std::uint8_t, kMaxDataCodewords + 1> DataBits{}; // + the cut-off terminator
  BitBuffer bits(DataBits.data(), 8 * (D + 1));
  {
    std::uint8_t scratch[1] = {0};
    BitBuffer estimate(scratch, 8);
    if (BuildDataBits(estimate, data, length, v, true, kanji) - 4 > 8 * D)
      return false;
  }
  const int L = BuildDataBits(bits, data, length, v, false, kanji);
  if (L - 4 > 8 * D)
    return false;

  // 5. Terminator and padding: zero bits to the byte boundary are already
  // there; whole codewords up to D alternate 0xEC, 0x11. A stream that
  // reaches 8 * D loses the part of its terminator beyond it.
  for (int c = (L + 7) / 8, i = 0; c < D; ++c, ++i)
    DataBits[static_cast<std::size_t>(c)] = kPadCodewords[i & 1];

  // 6. Block structure: S short blocks of K - 1 data codewords, then long
  // blocks of K. Version 5-Q: 62 codewords in 4 blocks are 15, 15, 16, 16.
  const int K = (D + B - 1) / B;
  const int r = D % B;
  const int S = r > 0 ? B - r : 0;

  // 7. One coder shape serves both block lengths: a short block leaves its
  // highest coefficient 0.
  if (!coder_)
    coder_ = std::make_unique<clsReedSolomon>();
  coder_->Init(K, E, field_.get(), 0, 0);

  // 8. Split, encode and interleave: data codeword k of block h goes to
  // position k * B + h (the last column holds only long blocks), check
  // codeword m to D + m * B + h.
  std::array<std::uint8_t, 3706> CodewordBytes{};
  std::int32_t BlockBuffer[256];
  for (int h = 0, c = 0; h < B; ++h) {
    const int s = h < S ? 1 : 0;
    BlockBuffer[K + E - 1] = 0;
    for (int k = 0; k < K - s; ++k, ++c) {
      const int p = k < K - 1 ? k * B + h : (K - 1) * B + (h - S);
      const std::uint8_t value = DataBits[static_cast<std::size_t>(c)];
      CodewordBytes[static_cast<std::size_t>(p)] = value;
      BlockBuffer[K + E - s - k - 1] = value;
    }
    coder_->Encode(BlockBuffer);
    for (int m = 0; m < E; ++m)
      CodewordBytes[static_cast<std::size_t>(D + m * B + h)] =
          static_cast<std::uint8_t>(BlockBuffer[E - 1 - m]);
  }

  // 9. Function patterns.
  const int n = SymbolSize(v);
  ModuleMatrix matrix(n);
  DrawFunctionPatterns(matrix, v);
  std::vector<std::uint8_t> DataMatrix(static_cast<std::size_t>(n) * static_cast<std::size_t>(n),
                                       0);

  // 10. Place the codeword bits in the free cells, two columns at a time from
  // the right, alternately upward and downward, skipping the timing column.
  const int totalBits = 8 * T;
  int placed = 0;
  bool upward = true;
  for (int right = n - 1; right >= 1 && placed < totalBits; right -= 2) {
    if (right == 6)
      right = 5;
    for (int i = 0; i < n && placed < totalBits; ++i) {
      const int y = upward ? n - 1 - i : i;
      for (int x = right; x >= right - 1 && placed < totalBits; --x) {
        if (matrix.at(x, y) != 0)
          continue;
        const int bit =
            (CodewordBytes[static_cast<std::size_t>(placed >> 3)] >> (7 - (placed & 7))) & 1;
        DataMatrix[static_cast<std::size_t>(y * n + x)] = static_cast<std::uint8_t>(bit);
        ++placed;
      }
    }
    upward = !upward;
  }

  // 11. Mask the data.
  const int usedMask = ApplyMask(DataMatrix.data(), n, n, mask);

  // 12. Merge: function modules from the matrix, data from the masked copy.
  for (int y = 0; y < n; ++y)
    for (int x = 0; x < n; ++x) {
      std::uint8_t &a = matrix.at(x, y);
      const std::uint8_t value = a == 0 ? DataMatrix[static_cast<std::size_t>(y * n + x)] : a;
      a = value & 1;
    }

  // 13. Version and format information.
  WriteVersionAndFormat(matrix, v, ecLevel, usedMask);

  out.version = v;
  out.ecLevel = ecLevel;
  out.mask = usedMask;
  out.modules = std::move(matrix);
  return true;
}

Picture clsQRCode::MakeSymbol(const std::uint8_t *data, int length, int version, int ecLevel,
                              int mask, KanjiMode kanji) {
  Symbol symbol;
  try {
    if (!MakeMatrix(data, length, version, ecLevel, mask, kanji, symbol))
      return {};
  } catch (const std::bad_alloc &) {
    return {};
  }
  // 14. The picture: one pixel per module; the matrix's three spare rows and
  // columns plus one more give the right and bottom quiet zone.
  const int w = symbol.modules.stride;
  return BitsToPicture(symbol.modules.cells.data(), w, w, 4, 4, 1, 1);
}

} // namespace zub
