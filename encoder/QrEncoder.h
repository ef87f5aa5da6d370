#pragma once

#include "BitBuffer.h"
#include "GaloisField.h"
#include "Picture.h"
#include "ReedSolomonCoder.h"
#include "Segmentation.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

namespace zub {

// Whether the segmentation may carry byte pairs in kanji mode. Readers turn
// kanji segments into Shift JIS text, so a message in any other character
// set must exclude it to come back byte for byte.
enum class KanjiMode { Allowed, Excluded };

// Error-correction levels as the encoder numbers them.
enum EcLevelIndex : int { kLevelL = 1, kLevelM = 2, kLevelQ = 3, kLevelH = 4 };

// No symbol holds a longer message: the densest mode packs three digits into
// 10 bits, and version 40-L holds 7,089 digits.
inline constexpr int kMaxMessageBytes = 7089;

// The module matrix of one symbol: (n + 3) x (n + 3) bytes, row-major, cell
// (x, y) at y * (n + 3) + x. While a symbol is built a cell holds 0 (free,
// carries data), 1 (dark function module) or 2 (light function module);
// finished, 0 is light and 1 dark. The three extra rows and columns stay 0.
struct ModuleMatrix {
  int n = 0;      // symbol size in modules
  int stride = 0; // n + 3
  std::vector<std::uint8_t> cells;

  explicit ModuleMatrix(int size)
      : n(size), stride(size + 3),
        cells(static_cast<std::size_t>(stride) * static_cast<std::size_t>(stride), 0) {}
  std::uint8_t &at(int x, int y) { return cells[static_cast<std::size_t>(y * stride + x)]; }
  std::uint8_t at(int x, int y) const { return cells[static_cast<std::size_t>(y * stride + x)]; }
};

// A finished symbol without its picture.
struct Symbol {
  int version = 0;
  int ecLevel = 0;
  int mask = 0;
  ModuleMatrix modules{0};

  SymbolFacts facts() const { return {version, ecLevel, mask, modules.n}; }
};

// Why the encoder made no symbol and, for a message too long, what would
// have held it. Front ends tell the user from this value alone.
struct EncodeFailure {
  enum class Reason {
    None,        // a symbol was made
    TooLong,     // the stream does not fit the version and level asked
    BadVersion,  // a negative version
    BadEci,      // an ECI assignment number out of range
    OutOfMemory, // memory ran out
  };
  Reason reason = Reason::None;
  int version = 0; // the version asked, 1..40; 0 the smallest that fits
  int ecLevel = 0; // the level asked, 1..4, as the encoder took it
  // TooLong only; 0 (none, false) for any other reason.
  //   excessBits: data bits beyond the capacity of the version asked (for
  //     the smallest that fits: version 40) at the level asked. A message
  //     longer than kMaxMessageBytes is counted on its first
  //     kMaxMessageBytes + 1 bytes, so it has at least that many more.
  //   smallestVersion: the smallest version that holds it at the level
  //     asked; 0 none.
  //   lowestLevelFits: level L holds it at the version asked (for the
  //     smallest that fits: at some version).
  //   smallestVersionAtL: the smallest version that holds it at level L.
  int excessBits = 0;
  int smallestVersion = 0;
  bool lowestLevelFits = false;
  int smallestVersionAtL = 0;

  bool operator==(const EncodeFailure &) const = default;
};

// The QR Code model 2 encoder: message bytes to a symbol picture.
//
// One object serves any number of symbols; nothing of one call affects the
// next. Not thread-safe: give every thread its own encoder.
class QrEncoder {
public:
  QrEncoder();

  // Encodes `length` bytes of `data` as a symbol and returns its picture:
  // one pixel per module, a white quiet zone of kQuietZone modules, (4v + 25)
  // pixels square; the picture's facts() tell the version, level and mask made.
  //   version: 1..40 that version; 0 or > 40 the smallest that fits; < 0 null.
  //   ecLevel: 1 L, 2 M, 3 Q, 4 H; anything else is M.
  //   mask:    0..7 that pattern; anything else is mask 0.
  //   eci:     0 no ECI designator (every symbol stays as without it);
  //            1..999999 the stream opens with that ECI assignment number,
  //            e.g. 26 for UTF-8, and its bits count in the version choice.
  // Returns null when the message does not fit, the ECI number is out of
  // range (or memory runs out); then `failure`, when given, says which, and
  // for a message too long what would hold it. A symbol made resets it.
  Picture MakeSymbol(const std::uint8_t *data, int length, int version, int ecLevel, int mask,
                     KanjiMode kanji = KanjiMode::Allowed, int eci = 0,
                     EncodeFailure *failure = nullptr);

  // The same pipeline without the picture; false where MakeSymbol gives null.
  bool MakeMatrix(const std::uint8_t *data, int length, int version, int ecLevel, int mask,
                  KanjiMode kanji, Symbol &out, int eci = 0);

  // Data bit stream. Returns its length in bits including the 4-bit
  // terminator; with EstimateOnly only the length. The stream is appended
  // to `bits` only when it has room for all of it (always the case for a
  // zero-filled buffer of 8 * 2956 + 4 bits when the estimate fits a
  // symbol); else nothing is written. An empty message writes the
  // terminator even when estimating. A nonzero `eci` puts the ECI header
  // (EciBits) first, counted in the length; an ECI number out of range
  // gives -1 and writes nothing.
  int BuildDataBits(BitBuffer &bits, const std::uint8_t *data, int n, int version,
                    bool EstimateOnly, KanjiMode kanji = KanjiMode::Allowed, int eci = 0) const;

  // Bits of the ECI header for assignment number `eci`: 0 for 0, the 4-bit
  // mode indicator plus a designator of 1, 2 or 3 bytes for 1..999999, and
  // -1 beyond.
  static int EciBits(int eci);
  // Appends that header (nothing for 0); `bits` must have room for it.
  static void PutEci(BitBuffer &bits, int eci);

  // Size functions: versions 1..40, and -1..-4 for the Micro sizes M1..M4.
  static constexpr int SymbolSize(int v);
  static constexpr int AlignmentCount(int v);
  static constexpr int AlignmentPatterns(int v);
  static constexpr int DataModules(int v);
  static constexpr int TotalCodewords(int v);

  // Tables by version 1..40 and level 1..4, the same for every encoder.
  static constexpr int AlignStep(int v);
  static constexpr int EcBlocks(int v, int level);
  static constexpr int EcCodewords(int v, int level);
  static constexpr int DataCodewords(int v, int level);

  // The interleaving of a symbol's codewords: S short blocks of K - 1 data
  // codewords, then B - S long blocks of K. Data codeword k of block h goes
  // to position k * B + h, the long blocks' last one after all others;
  // check codeword m of block h to D + m * B + h, D data codewords in all.
  static constexpr int InterleavedDataPosition(int B, int K, int S, int h, int k) {
    return k < K - 1 ? k * B + h : (K - 1) * B + (h - S);
  }
  static constexpr int InterleavedCheckPosition(int D, int B, int h, int m) {
    return D + m * B + h;
  }

  // The block structure of version v at `level`, as the symbol is split and
  // interleaved: B blocks of E check codewords, D data codewords in all, S
  // short blocks of K - 1 data codewords, then long blocks of K.
  struct Blocks {
    int B, E, D, K, S;
    constexpr int DataLength(int h) const { return h < S ? K - 1 : K; }
  };
  static constexpr Blocks BlocksOf(int v, int level);

  // The block (0..B - 1, short blocks first) each codeword of version v at
  // `level` comes from, by its position in the interleaved sequence, the
  // order the placement fills: TotalCodewords(v) entries.
  static void CodewordBlocks(int v, int level, std::vector<std::uint8_t> &blockOf);

  // Function patterns of version v (1..40; anything else draws nothing).
  static void DrawFunctionPatterns(ModuleMatrix &matrix, int v);

  // What a module of the function patterns is part of.
  enum FunctionPattern : std::uint8_t {
    kNoPattern = 0, // a free cell: data or remainder
    kFinderPattern, // a finder with its separator
    kFormatArea,
    kDarkModule,
    kVersionArea,
    kTimingPattern,
    kAlignmentPattern,
  };
  // The same patterns as DrawFunctionPatterns, each cell marked with the
  // FunctionPattern it belongs to instead of its colour.
  static void MapFunctionPatterns(ModuleMatrix &matrix, int v);

  // The free cells of `functions`, a matrix with the function patterns of
  // its version drawn and every other cell 0, in the order the codeword bits
  // fill them, as offsets into its cells: column pairs from the right edge
  // leftwards, alternately upward and downward, the right cell of a pair
  // first, the timing column skipped. All DataModules of them, the remainder
  // cells last.
  static void PlacementOrder(const ModuleMatrix &functions, std::vector<std::uint16_t> &order);

  // Inverts the cells of mask `mask` (0..7, else 0) in an n x n matrix with
  // the given row stride; returns the mask applied.
  static int ApplyMask(std::uint8_t *matrix, int n, int stride, int mask);
  static int BchRemainder(int value, int poly, int topBit, int count);
  static int FormatBits(int ecLevel, int mask);
  static int VersionBits(int v);

  // Character classes of the segmentation.
  static int CharClass(std::uint8_t b);
  static int AlnumValue(std::uint8_t b);
  static bool IsKanjiPair(std::uint8_t first, std::uint8_t second);
  static int KanjiValue(std::uint8_t first, std::uint8_t second);

  const GaloisField &field() const { return *field_; }

private:
  // Every function module of version v as it is drawn, later patterns over
  // earlier ones: put(x, y, colour (1 dark, 2 light), FunctionPattern).
  template <class Put> static void ForEachFunctionModule(int n, int v, Put put);

  int ChooseVersion(const std::uint8_t *data, int length, int ecLevel, KanjiMode kanji,
                    int headerBits);
  EncodeFailure::Reason BuildMatrix(const std::uint8_t *data, int length, int version, int ecLevel,
                                    int mask, KanjiMode kanji, Symbol &out, int eci);
  // The failure value of a message BuildMatrix refused for `reason`; for
  // one too long, from its stream length in each version range.
  EncodeFailure DescribeFailure(EncodeFailure::Reason reason, const std::uint8_t *data, int length,
                                int version, int ecLevel, KanjiMode kanji, int eci);

  // Where the bits of one codeword go. Most codewords lie in neighbouring
  // cells of a row, right cell first: four such pairs, whose left cells
  // `pairs` holds, or, where a lone free cell earlier in the column shifted
  // them by one (kShifted), one cell, three pairs and one cell. Any other
  // codeword (kScattered) takes its eight cells one by one; the shifted and
  // scattered ones find their cells in the placement order.
  static constexpr std::uint16_t kShifted = 0xFFFE;
  static constexpr std::uint16_t kScattered = 0xFFFF;
  struct CodewordPlace {
    std::uint16_t pairs[4];
  };
  // What depends on the version alone, kept for the last version encoded:
  // the function patterns, and the cells of the codewords.
  struct VersionLayout {
    int version = 0;
    ModuleMatrix functions{0};
    std::vector<std::uint16_t> order; // every free cell in placement order, as offsets
    std::vector<CodewordPlace> codewords;
  };
  const VersionLayout &Layout(int v);
  void PlaceCodewords(ModuleMatrix &matrix, const VersionLayout &layout,
                      const std::uint8_t *codewords, int totalCodewords) const;
  static void MaskAndMerge(ModuleMatrix &matrix, int mask);
  static Picture MaskedPicture(const ModuleMatrix &matrix, const SymbolFacts &facts);
  static void WriteVersionAndFormat(ModuleMatrix &m, int v, int ecLevel, int mask);

  std::unique_ptr<GaloisField> field_;
  std::unique_ptr<ReedSolomonCoder> coder_;
  SegmentPlan plan_; // kept between calls for its storage
  VersionLayout layout_;
  Symbol scratch_; // MakeSymbol's matrix, kept for its storage
};

} // namespace zub

#include "SymbolTables.h"
