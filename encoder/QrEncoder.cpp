// The encoder's driver: message bytes to a finished symbol, step by step.
#include "QrEncoder.h"

#include "Bytes16.h"
#include "EncodeCount.h"
#include "MaskPatterns.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cstring>
#include <new>

namespace zub {

namespace {

constexpr int kMaxDataCodewords = 2956; // version 40-L
constexpr int kMaxCodewords = 3706;     // version 40
// Version ranges that share the widths of the character-count fields.
constexpr int kVersionRanges[3][2] = {{1, 9}, {10, 26}, {27, 40}};
constexpr std::uint8_t kPadCodewords[2] = {0xEC, 0x11};
// A free cell that has received a codeword bit (in bit 0); function
// modules are 1 (dark) and 2 (light).
constexpr std::uint8_t kDataCell = 4;

// Every codeword value spread out as the eight cells its bits become, bit j
// at index j: two cells of a codeword that are neighbours in a row (the
// left one holds the lower bit) are two consecutive bytes here.
struct ReversedSpreadTable {
  std::uint8_t of[256][8];
  constexpr ReversedSpreadTable() : of{} {
    for (unsigned v = 0; v < 256; ++v)
      for (unsigned j = 0; j < 8; ++j)
        of[v][j] = static_cast<std::uint8_t>(kDataCell | ((v >> j) & 1));
  }
};
constexpr ReversedSpreadTable kReversedSpread;

} // namespace

QrEncoder::QrEncoder()
    : field_(std::make_unique<GaloisField>()), coder_(std::make_unique<ReedSolomonCoder>()) {
  field_->Init(256, kQrFieldPolynomial, 2);
}

int QrEncoder::ChooseVersion(const std::uint8_t *data, int length, int ecLevel, KanjiMode kanji,
                             int headerBits) {
  // A range whose largest symbol cannot hold even the cheapest conceivable
  // stream is skipped without planning the message for it. No byte costs
  // less than 10/3 bits or more than 8, which often decides without a look
  // at the bytes.
  int lowerBound = -1;
  for (const auto &range : kVersionRanges) {
    const int largest = 8 * DataCodewords(range[1], ecLevel);
    if (headerBits + 10 * length / 3 > largest)
      continue;
    if (headerBits + 8 * length > largest) {
      if (lowerBound < 0)
        lowerBound = SegmentPlan::MinimumBits(data, length, kanji);
      if (headerBits + lowerBound > largest)
        continue;
    }
    int L = 4;
    if (length > 0) {
      plan_.Plan(data, length, range[0], kanji);
      L = plan_.length();
    }
    L += headerBits;
    // The terminator does not count against the capacity.
    for (int v = range[0]; v <= range[1]; ++v)
      if (L - 4 <= 8 * DataCodewords(v, ecLevel))
        return v;
  }
  return 0;
}

void QrEncoder::PlacementOrder(const ModuleMatrix &functions, std::vector<std::uint16_t> &order) {
  const ModuleMatrix &m = functions;
  const int n = m.n;
  order.clear();
  order.reserve(static_cast<std::size_t>(DataModules((n - 17) / 4)));
  const std::uint8_t *cells = m.cells.data();
  bool upward = true;
  for (int right = n - 1; right >= 1; right -= 2) {
    if (right == 6)
      right = 5;
    for (int i = 0; i < n; ++i) {
      const int y = upward ? n - 1 - i : i;
      const int offset = y * m.stride + right;
      if (cells[offset] == 0)
        order.push_back(static_cast<std::uint16_t>(offset));
      if (cells[offset - 1] == 0)
        order.push_back(static_cast<std::uint16_t>(offset - 1));
    }
    upward = !upward;
  }
}

const QrEncoder::VersionLayout &QrEncoder::Layout(int v) {
  if (layout_.version == v)
    return layout_;
  VersionLayout &layout = layout_;
  layout.version = 0; // until it is complete
  layout.functions = ModuleMatrix(SymbolSize(v));
  DrawFunctionPatterns(layout.functions, v);
  PlacementOrder(layout.functions, layout.order);
  assert(layout.order.size() == static_cast<std::size_t>(DataModules(v)));

  // The shape of every codeword's cells.
  const int T = TotalCodewords(v);
  layout.codewords.resize(static_cast<std::size_t>(T));
  for (int c = 0; c < T; ++c) {
    const std::uint16_t *cell = layout.order.data() + 8 * c;
    auto pairAt = [cell](int i) { return cell[i + 1] == cell[i] - 1; };
    CodewordPlace &place = layout.codewords[static_cast<std::size_t>(c)];
    if (pairAt(0) && pairAt(2) && pairAt(4) && pairAt(6))
      place = {{cell[1], cell[3], cell[5], cell[7]}};
    else if (pairAt(1) && pairAt(3) && pairAt(5))
      place = {{kShifted}};
    else
      place = {{kScattered}};
  }
  layout.version = v;
  return layout;
}

void QrEncoder::PlaceCodewords(ModuleMatrix &matrix, const VersionLayout &layout,
                               const std::uint8_t *codewords, int totalCodewords) const {
  // The bits of every codeword, most significant first, into the free cells
  // in zig-zag order; the remainder cells get 0.
  std::uint8_t *cells = matrix.cells.data();
  const std::uint16_t *order = layout.order.data();
  for (int c = 0; c < totalCodewords; ++c) {
    const CodewordPlace &place = layout.codewords[static_cast<std::size_t>(c)];
    // A pair starting at the codeword's cell i holds bits 6 - i and 7 - i.
    const std::uint8_t *bits = kReversedSpread.of[codewords[c]];
    const std::uint16_t *cell = order + 8 * c;
    if (place.pairs[0] < kShifted) {
      for (int k = 0; k < 4; ++k)
        std::memcpy(cells + place.pairs[k], bits + 6 - 2 * k, 2);
    } else if (place.pairs[0] == kShifted) {
      cells[cell[0]] = bits[7];
      for (int i = 1; i <= 5; i += 2)
        std::memcpy(cells + cell[i + 1], bits + 6 - i, 2);
      cells[cell[7]] = bits[0];
    } else {
      for (int k = 0; k < 8; ++k)
        cells[cell[k]] = bits[7 - k];
    }
  }
  const std::uint16_t *end = order + layout.order.size();
  for (const std::uint16_t *next = order + 8 * totalCodewords; next < end; ++next)
    cells[*next] = kDataCell;
}

void QrEncoder::MaskAndMerge(ModuleMatrix &matrix, int mask) {
  // Mask the data cells and merge: data and function modules become 0
  // (light) and 1 (dark). A merged cell stays as it is when merged again,
  // so rows can go in overlapping chunks of 16 columns.
  const int n = matrix.n;
  std::uint8_t *cells = matrix.cells.data();
  for (int y = 0; y < n; ++y) {
    std::uint8_t *row = cells + y * matrix.stride;
    const std::uint8_t *plane = kMaskPlane.of[mask][y % kMaskRowPeriod];
    ForEachChunk16(n, [&](int x0) {
      const Bytes16 cell = Load16(row + x0);
      const Bytes16 inverts = Load16(plane + x0);
      Store16(row + x0, (cell & 1) ^ ((cell >> 2) & inverts));
    });
  }
}

Picture QrEncoder::MaskedPicture(const ModuleMatrix &matrix, const SymbolFacts &facts) {
  constexpr int kQuiet = kQuietZone;
  const int n = matrix.n;
  const int mask = facts.mask;
  Bitmap bitmap = Bitmap::Allocate(n + 2 * kQuiet, n + 2 * kQuiet);
  if (!bitmap.pixels)
    return {};
  // The quiet rows above and below are one white fill each. A row is at
  // most 11 pixels wider than the matrix: one white store at each end
  // covers the quiet zone and the padding before the modules are drawn
  // over the rest.
  const int stride = bitmap.stride;
  const Bytes16 white = Bytes16{} + Picture::kWhite;
  FillBytes(bitmap.scanLine(0), kQuiet * stride, Picture::kWhite);
  FillBytes(bitmap.scanLine(kQuiet + n), kQuiet * stride, Picture::kWhite);
  for (int y = 0, period = 0; y < n; ++y, period = period + 1 < kMaskRowPeriod ? period + 1 : 0) {
    std::uint8_t *row = bitmap.scanLine(kQuiet + y);
    Store16(row, white);
    Store16(row + stride - 16, white);
    const std::uint8_t *cells = matrix.cells.data() + y * matrix.stride;
    const std::uint8_t *plane = kMaskPlane.of[mask][period];
    std::uint8_t *pixels = row + kQuiet;
    ForEachChunk16(n, [&](int x0) {
      const Bytes16 cell = Load16(cells + x0);
      const Bytes16 dark = (cell & 1) ^ ((cell >> 2) & Load16(plane + x0));
      Store16(pixels + x0, dark - 1); // dark 1 to black 0, light 0 to white 255
    });
  }
  return Picture::FromBitmap(std::move(bitmap), facts);
}

bool QrEncoder::MakeMatrix(const std::uint8_t *data, int length, int version, int ecLevel, int mask,
                           KanjiMode kanji, Symbol &out, int eci) {
  out.version = 0; // whatever the caller's symbol held, its matrix is not trusted
  if (BuildMatrix(data, length, version, ecLevel, mask, kanji, out, eci) !=
      EncodeFailure::Reason::None)
    return false;

  // 11-12. Mask the data modules and merge them with the function modules.
  MaskAndMerge(out.modules, out.mask);

  // 13. Version and format information.
  WriteVersionAndFormat(out.modules, out.version, out.ecLevel, out.mask);
  return true;
}

EncodeFailure::Reason QrEncoder::BuildMatrix(const std::uint8_t *data, int length, int version,
                                             int ecLevel, int mask, KanjiMode kanji, Symbol &out,
                                             int eci) {
  using Reason = EncodeFailure::Reason;
  EncodeCount::Add();
  // 1. Normalise the arguments.
  if (ecLevel < 1 || ecLevel > 4)
    ecLevel = kLevelM;
  if (mask < 0 || mask > 7)
    mask = 0;
  if (version < 0)
    return Reason::BadVersion;
  if (length > kMaxMessageBytes)
    return Reason::TooLong;
  if (length < 0)
    length = 0;
  const int headerBits = EciBits(eci);
  if (headerBits < 0)
    return Reason::BadEci;

  // 2. Version choice: the smallest version whose data capacity holds the
  // stream; it leaves the message planned for the chosen version's group.
  int v = version;
  if (v == 0 || v > 40) {
    v = ChooseVersion(data, length, ecLevel, kanji, headerBits);
    if (v == 0)
      return Reason::TooLong;
  } else if (length > 0) {
    plan_.Plan(data, length, v, kanji);
  }
  const Blocks blocks = BlocksOf(v, ecLevel);
  const int B = blocks.B;
  const int E = blocks.E;
  const int T = TotalCodewords(v);
  const int D = blocks.D;

  // 3-4. Capacity test, before anything is written, then the data bits.
  const int L = headerBits + (length > 0 ? plan_.length() : 4);
  if (L - 4 > 8 * D)
    return Reason::TooLong;
  std::uint8_t DataBits[kMaxDataCodewords + 1]; // + the part of the terminator that may be cut off
  FillBytes(DataBits, D + 1, 0);
  BitBuffer bits(DataBits, 8 * (D + 1));
  PutEci(bits, eci);
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
  const int K = blocks.K;
  const int S = blocks.S;

  // 7. One coder shape serves both block lengths: a short block is a long
  // one whose first coefficient is 0.
  if (coder_->DataLength() != K || coder_->EccLength() != E)
    coder_->Init(K, E, field_.get(), 0, 0);

  // 8. Split, encode and interleave: data codeword k of block h goes to
  // position k * B + h (the last column holds only long blocks), check
  // codeword m to D + m * B + h.
  std::uint8_t CodewordBytes[kMaxCodewords];
  std::uint8_t check[ReedSolomonCoder::kMaxLength];
  for (int h = 0, c = 0; h < B; ++h) {
    const int blockLength = blocks.DataLength(h);
    const std::uint8_t *block = DataBits + c;
    for (int k = 0; k < blockLength; ++k)
      CodewordBytes[InterleavedDataPosition(B, K, S, h, k)] = block[k];
    coder_->EncodeBytes(block, blockLength, check);
    for (int m = 0; m < E; ++m)
      CodewordBytes[InterleavedCheckPosition(D, B, h, m)] = check[m];
    c += blockLength;
  }

  // 9. Function patterns, stamped from the version's template. A matrix
  // that holds a finished symbol of this version has them already: every
  // other cell is written again below.
  const VersionLayout &layout = Layout(v);
  if (out.version != v)
    out.modules = layout.functions;
  out.version = 0; // until the symbol is complete

  // 10. Place the codeword bits in the free cells.
  PlaceCodewords(out.modules, layout, CodewordBytes, T);

  out.version = v;
  out.ecLevel = ecLevel;
  out.mask = mask;
  return Reason::None;
}

void QrEncoder::CodewordBlocks(int v, int level, std::vector<std::uint8_t> &blockOf) {
  blockOf.clear();
  if (v < 1 || v > 40 || level < kLevelL || level > kLevelH)
    return;
  // Step 8 of BuildMatrix, with the block's number for its codewords.
  const Blocks b = BlocksOf(v, level);
  blockOf.assign(static_cast<std::size_t>(TotalCodewords(v)), 0);
  for (int h = 0; h < b.B; ++h) {
    const auto block = static_cast<std::uint8_t>(h);
    for (int k = 0; k < b.DataLength(h); ++k)
      blockOf[static_cast<std::size_t>(InterleavedDataPosition(b.B, b.K, b.S, h, k))] = block;
    for (int m = 0; m < b.E; ++m)
      blockOf[static_cast<std::size_t>(InterleavedCheckPosition(b.D, b.B, h, m))] = block;
  }
}

Picture QrEncoder::MakeSymbol(const std::uint8_t *data, int length, int version, int ecLevel,
                              int mask, KanjiMode kanji, int eci, EncodeFailure *failure) {
  using Reason = EncodeFailure::Reason;
  Symbol &symbol = scratch_;
  Reason reason = Reason::None;
  try {
    reason = BuildMatrix(data, length, version, ecLevel, mask, kanji, symbol, eci);
    if (reason != Reason::None && failure)
      *failure = DescribeFailure(reason, data, length, version, ecLevel, kanji, eci);
  } catch (const std::bad_alloc &) {
    reason = Reason::OutOfMemory;
    if (failure)
      *failure = DescribeFailure(reason, data, length, version, ecLevel, kanji, eci);
  }
  if (reason != Reason::None)
    return {};
  // 13. Version and format information: function modules, which masking
  // leaves as they are.
  WriteVersionAndFormat(symbol.modules, symbol.version, symbol.ecLevel, symbol.mask);

  // 11-12 and 14 in one pass: every module masked, merged and drawn as one
  // pixel, inside the white quiet zone.
  Picture picture = MaskedPicture(symbol.modules, symbol.facts());
  if (failure)
    *failure = picture.isNull() ? DescribeFailure(Reason::OutOfMemory, data, length, version,
                                                  ecLevel, kanji, eci)
                                : EncodeFailure{};
  return picture;
}

EncodeFailure QrEncoder::DescribeFailure(EncodeFailure::Reason reason, const std::uint8_t *data,
                                         int length, int version, int ecLevel, KanjiMode kanji,
                                         int eci) {
  // The arguments as BuildMatrix took them.
  EncodeFailure failure;
  failure.reason = reason;
  failure.version = version > 40 ? 0 : version;
  failure.ecLevel = ecLevel >= kLevelL && ecLevel <= kLevelH ? ecLevel : kLevelM;
  if (reason != EncodeFailure::Reason::TooLong)
    return failure;

  // The stream's data bits (the terminator does not count against the
  // capacity) in each version range: every version of a range takes the
  // same stream, so these three lengths decide every version and level.
  // Beyond what any symbol holds one byte more already proves the point,
  // and planning stops there.
  const int counted = std::clamp(length, 0, kMaxMessageBytes + 1);
  const int headerBits = EciBits(eci);
  int rangeBits[3];
  for (int r = 0; r < 3; ++r) {
    int L = 4;
    if (counted > 0) {
      plan_.Plan(data, counted, kVersionRanges[r][0], kanji);
      L = plan_.length();
    }
    rangeBits[r] = headerBits + L - 4;
  }
  const auto bitsAt = [&rangeBits](int v) {
    return rangeBits[v <= kVersionRanges[0][1] ? 0 : v <= kVersionRanges[1][1] ? 1 : 2];
  };
  const auto fits = [&](int v, int level) { return bitsAt(v) <= 8 * DataCodewords(v, level); };
  const auto smallest = [&](int level) {
    for (int v = 1; v <= 40; ++v)
      if (fits(v, level))
        return v;
    return 0;
  };
  if (length <= kMaxMessageBytes) {
    failure.smallestVersion = smallest(failure.ecLevel);
    failure.smallestVersionAtL = smallest(kLevelL);
    failure.lowestLevelFits =
        failure.version == 0 ? failure.smallestVersionAtL != 0 : fits(failure.version, kLevelL);
  }
  const int at = failure.version == 0 ? 40 : failure.version;
  failure.excessBits = bitsAt(at) - 8 * DataCodewords(at, failure.ecLevel);
  return failure;
}

} // namespace zub
