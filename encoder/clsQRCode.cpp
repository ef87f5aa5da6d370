// The encoder's driver: message bytes to a finished symbol, step by step.
#include "clsQRCode.h"

#include "mdlFakeBarCode.h"

#include <array>
#include <cstring>
#include <new>

namespace zub {

namespace {

constexpr int kMaxDataCodewords = 2956; // version 40-L
constexpr int kMaxCodewords = 3706;     // version 40
// The densest mode packs three digits into 10 bits, so no message longer
// than the digits 40-L holds can fit any symbol.
constexpr int kMaxMessageBytes = 7089;
// Version ranges that share the widths of the character-count fields.
constexpr int kVersionRanges[3][2] = {{1, 9}, {10, 26}, {27, 40}};
constexpr std::uint8_t kPadCodewords[2] = {0xEC, 0x11};
// Below this many data codewords a product table costs more than it saves.
constexpr int kProductTableThreshold = 160;

// Whether data mask `mask` inverts cell (x, y), x the column and y the row.
template <int mask> inline bool Masked(int x, int y) {
  if constexpr (mask == 0)
    return (x + y) % 2 == 0;
  if constexpr (mask == 1)
    return y % 2 == 0;
  if constexpr (mask == 2)
    return x % 3 == 0;
  if constexpr (mask == 3)
    return (x + y) % 3 == 0;
  if constexpr (mask == 4)
    return (y / 2 + x / 3) % 2 == 0;
  if constexpr (mask == 5)
    return (x * y) % 2 + (x * y) % 3 == 0;
  if constexpr (mask == 6)
    return ((x * y) % 2 + (x * y) % 3) % 2 == 0;
  if constexpr (mask == 7)
    return ((x + y) % 2 + (x * y) % 3) % 2 == 0;
}

// The zig-zag walk over the free cells: column pairs from the right edge,
// alternately upward and downward, the right column of a pair first, the
// timing column 6 skipped. Each free cell gets the next codeword bit (0
// once the bits run out, for the remainder cells), masked; function cells
// keep their value as 0/1 (light function modules were 2).
template <int mask> void Walk(ModuleMatrix &m, const std::uint8_t *codewords, int totalBits) {
  const int n = m.n;
  std::uint8_t *cells = m.cells.data();
  const int stride = m.stride;
  int placed = 0;
  bool upward = true;
  for (int right = n - 1; right >= 1; right -= 2) {
    if (right == 6)
      right = 5;
    for (int i = 0; i < n; ++i) {
      const int y = upward ? n - 1 - i : i;
      std::uint8_t *row = cells + y * stride;
      for (int x = right; x >= right - 1; --x) {
        if (row[x] != 0) {
          row[x] &= 1;
          continue;
        }
        int bit = 0;
        if (placed < totalBits)
          bit = (codewords[placed >> 3] >> (7 - (placed & 7))) & 1;
        ++placed;
        row[x] = static_cast<std::uint8_t>(bit ^ static_cast<int>(Masked<mask>(x, y)));
      }
    }
    upward = !upward;
  }
  // The timing column holds function modules only.
  for (int y = 0; y < n; ++y)
    cells[y * stride + 6] &= 1;
}

} // namespace

int clsQRCode::ChooseVersion(const std::uint8_t *data, int length, int ecLevel, KanjiMode kanji) {
  // A range whose largest symbol cannot hold even the cheapest conceivable
  // stream is skipped without planning the message for it.
  const int lowerBound = length > 0 ? SegmentPlan::MinimumBits(data, length, kanji) : 0;
  for (const auto &range : kVersionRanges) {
    if (lowerBound > 8 * DataCodewords(range[1], ecLevel))
      continue;
    int L = 4;
    if (length > 0) {
      plan_.Plan(data, length, range[0], kanji);
      L = plan_.length();
    }
    // The terminator does not count against the capacity.
    for (int v = range[0]; v <= range[1]; ++v)
      if (L - 4 <= 8 * DataCodewords(v, ecLevel))
        return v;
  }
  return 0;
}

void clsQRCode::PlaceMaskAndMerge(ModuleMatrix &matrix, const std::uint8_t *codewords,
                                  int totalBits, int mask) const {
  switch (mask) {
  case 1:
    Walk<1>(matrix, codewords, totalBits);
    break;
  case 2:
    Walk<2>(matrix, codewords, totalBits);
    break;
  case 3:
    Walk<3>(matrix, codewords, totalBits);
    break;
  case 4:
    Walk<4>(matrix, codewords, totalBits);
    break;
  case 5:
    Walk<5>(matrix, codewords, totalBits);
    break;
  case 6:
    Walk<6>(matrix, codewords, totalBits);
    break;
  case 7:
    Walk<7>(matrix, codewords, totalBits);
    break;
  default:
    Walk<0>(matrix, codewords, totalBits);
    break;
  }
}

bool clsQRCode::MakeMatrix(const std::uint8_t *data, int length, int version, int ecLevel, int mask,
                           KanjiMode kanji, Symbol &out) {
  // 1. Normalise the arguments.
  if (ecLevel < 1 || ecLevel > 4)
    ecLevel = kLevelM;
  if (mask < 0 || mask > 7)
    mask = 0;
  if (version < 0 || length > kMaxMessageBytes)
    return false;
  if (length < 0)
    length = 0;

  // 2. Version choice: the smallest version whose data capacity holds the
  // stream; it leaves the message planned for the chosen version's group.
  int v = version;
  if (v == 0 || v > 40) {
    v = ChooseVersion(data, length, ecLevel, kanji);
    if (v == 0)
      return false;
  } else if (length > 0) {
    plan_.Plan(data, length, v, kanji);
  }
  const int B = EcBlocks(v, ecLevel);
  const int E = EcCodewords(v, ecLevel);
  const int T = TotalCodewords(v);
  const int D = T - B * E;

  // 3-4. Capacity test, before anything is written, then the data bits.
  const int L = length > 0 ? plan_.length() : 4;
  if (L - 4 > 8 * D)
    return false;
  std::uint8_t DataBits[kMaxDataCodewords + 1]; // + the part of the terminator that may be cut off
  std::memset(DataBits, 0, static_cast<std::size_t>(D + 1));
  BitBuffer bits(DataBits, 8 * (D + 1));
  if (length > 0)
    plan_.Write(bits);
  else
    bits.Put(0, 4);

  // 5. Terminator and padding: zero bits to the byte boundary are already
  // there; whole codewords up to D alternate 0xEC, 0x11. A stream that
  // reaches 8 * D loses the part of its terminator beyond it.
  for (int c = (L + 7) / 8, i = 0; c < D; ++c, ++i)
    DataBits[c] = kPadCodewords[i & 1];

  // 6. Block structure: S short blocks of K - 1 data codewords, then long
  // blocks of K. Version 5-Q: 62 codewords in 4 blocks are 15, 15, 16, 16.
  const int K = (D + B - 1) / B;
  const int r = D % B;
  const int S = r > 0 ? B - r : 0;

  // 7. One coder shape serves both block lengths: a short block is a long
  // one whose first coefficient is 0.
  if (!coder_)
    coder_ = std::make_unique<clsReedSolomon>();
  coder_->Init(K, E, field_.get(), 0, 0);
  if (D >= kProductTableThreshold)
    coder_->PrepareProductTable();

  // 8. Split, encode and interleave: data codeword k of block h goes to
  // position k * B + h (the last column holds only long blocks), check
  // codeword m to D + m * B + h.
  std::uint8_t CodewordBytes[kMaxCodewords];
  std::uint8_t check[clsReedSolomon::kMaxLength];
  for (int h = 0, c = 0; h < B; ++h) {
    const int blockLength = h < S ? K - 1 : K;
    const std::uint8_t *block = DataBits + c;
    for (int k = 0; k < blockLength; ++k) {
      const int p = k < K - 1 ? k * B + h : (K - 1) * B + (h - S);
      CodewordBytes[p] = block[k];
    }
    coder_->EncodeBytes(block, blockLength, check);
    for (int m = 0; m < E; ++m)
      CodewordBytes[D + m * B + h] = check[m];
    c += blockLength;
  }

  // 9. Function patterns.
  const int n = SymbolSize(v);
  ModuleMatrix matrix(n);
  DrawFunctionPatterns(matrix, v);

  // 10-12. Place the codeword bits in the free cells, mask them and merge
  // them with the function modules, in one walk.
  PlaceMaskAndMerge(matrix, CodewordBytes, 8 * T, mask);

  // 13. Version and format information.
  WriteVersionAndFormat(matrix, v, ecLevel, mask);

  out.version = v;
  out.ecLevel = ecLevel;
  out.mask = mask;
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
