// The reader-independent damage count: which codewords the composite still
// shows as the encoder made them, block by block.
#include "ModuleDamage.h"

#include "LogoBox.h"
#include "QrEncoder.h"

#include <algorithm>
#include <cstdint>

namespace zub {

namespace {

// The pixel that shows the middle of source pixel `s` when `sourceLength`
// pixels are stretched over `targetLength` with NearestSource, and the
// number of pixels that show it.
struct Span {
  int centre;
  int width;
};
Span SpanOf(int s, int sourceLength, int targetLength) {
  // The first target pixel d with floor(d * source / target) >= s.
  const auto first = [&](int k) {
    return static_cast<int>((static_cast<std::int64_t>(k) * targetLength + sourceLength - 1) /
                            sourceLength);
  };
  const int begin = first(s);
  const int end = std::min(first(s + 1), targetLength);
  return {(begin + end - 1) / 2, end - begin};
}

// Which function part a module of an n-module symbol of version v belongs
// to; 0 for a data module.
class PartMap {
public:
  PartMap(int v, int step) : n_(QrEncoder::SymbolSize(v)), v_(v) {
    centres_.push_back(6);
    if (v >= 2)
      for (int c = n_ - 7; c >= 18; c -= step)
        centres_.push_back(c);
  }

  unsigned PartOf(int x, int y) const {
    const int n = n_;
    const bool left = x <= 7, right = x >= n - 8, top = y <= 7, bottom = y >= n - 8;
    if ((left && top) || (right && top) || (left && bottom))
      return kFinderPart;
    if (v_ >= 7 && ((x <= 5 && y >= n - 11 && y <= n - 9) || (y <= 5 && x >= n - 11 && x <= n - 9)))
      return kVersionPart;
    if (v_ >= 2 && InAlignment(x, y))
      return kAlignmentPart;
    if ((x == 6 && y >= 8 && y <= n - 9) || (y == 6 && x >= 8 && x <= n - 9))
      return kTimingPart;
    if ((y == 8 && (x <= 8 || x >= n - 8)) || (x == 8 && (y <= 8 || y >= n - 8)))
      return kFormatPart; // the dark module at (8, n - 8) included
    return 0;
  }

private:
  bool InAlignment(int x, int y) const {
    for (int cy : centres_) {
      if (y < cy - 2 || y > cy + 2)
        continue;
      for (int cx : centres_) {
        if (x < cx - 2 || x > cx + 2)
          continue;
        // The three corners with a finder have no alignment pattern.
        const bool nearFinder =
            (cx == 6 && cy == 6) || (cx == 6 && cy == n_ - 7) || (cx == n_ - 7 && cy == 6);
        if (!nearFinder)
          return true;
      }
    }
    return false;
  }

  int n_;
  int v_;
  std::vector<int> centres_;
};

} // namespace

int CorrectableErrors(int version, int ecLevel, int ecCodewords) {
  // Symbols of so few check codewords keep some of them as a reserve
  // against taking a damaged symbol for another valid one.
  int reserve = 0;
  if (version == 1)
    reserve = ecLevel == kLevelL ? 3 : ecLevel == kLevelM ? 2 : 1;
  else if (version == 2 && ecLevel == kLevelL)
    reserve = 2;
  else if (version == 3 && ecLevel == kLevelL)
    reserve = 1;
  return std::max(0, (ecCodewords - reserve) / 2);
}

bool ModuleDamage::PastCapacity() const {
  return WorstBlock() >= 0;
}

int ModuleDamage::WorstBlock() const {
  int worst = -1;
  int excess = 0;
  for (std::size_t i = 0; i < blocks.size(); ++i) {
    const int over = blocks[i].wrong - blocks[i].capacity;
    if (over > excess) {
      excess = over;
      worst = static_cast<int>(i);
    }
  }
  return worst;
}

ModuleDamage CountModuleDamage(const QImage &composite, const QImage &symbol,
                               const SymbolFacts &facts, const QRect &logoBox) {
  ModuleDamage damage;
  const int v = facts.version;
  const int ecLevel = facts.ecLevel;
  const int n = facts.modules;
  const int side = n + 2 * kQuietZone;
  if (composite.isNull() || v < 1 || v > 40 || n != QrEncoder::SymbolSize(v) ||
      symbol.width() != side || symbol.height() != side || ecLevel < kLevelL || ecLevel > kLevelH)
    return damage;
  damage.version = v;
  damage.ecLevel = ecLevel;

  const QImage grey = symbol.convertToFormat(QImage::Format_Grayscale8);
  const QImage shown = composite.convertToFormat(QImage::Format_RGB32);
  const int width = shown.width();
  const int height = shown.height();

  // Module centres along both axes, and how wide the stretch makes them.
  std::vector<Span> columns(static_cast<std::size_t>(n)), rows(static_cast<std::size_t>(n));
  damage.minModulePixels = width + height;
  for (int i = 0; i < n; ++i) {
    columns[static_cast<std::size_t>(i)] = SpanOf(i + kQuietZone, side, width);
    rows[static_cast<std::size_t>(i)] = SpanOf(i + kQuietZone, side, height);
    for (const Span &s :
         {columns[static_cast<std::size_t>(i)], rows[static_cast<std::size_t>(i)]}) {
      damage.minModulePixels = std::min(damage.minModulePixels, s.width);
      damage.maxModulePixels = std::max(damage.maxModulePixels, s.width);
    }
  }

  // Every module: does it read as the symbol has it, and does the logo
  // cover it?
  ModuleMatrix wrong(n); // 1 where the module reads wrong
  const PartMap parts(v, QrEncoder::AlignStep(v));
  for (int y = 0; y < n; ++y) {
    const Span row = rows[static_cast<std::size_t>(y)];
    const auto *line = reinterpret_cast<const QRgb *>(shown.constScanLine(row.centre));
    const std::uint8_t *source = grey.constScanLine(y + kQuietZone) + kQuietZone;
    for (int x = 0; x < n; ++x) {
      const Span column = columns[static_cast<std::size_t>(x)];
      const bool dark = qGray(line[column.centre]) < 128;
      const bool wanted = source[x] < 128;
      const bool bad = dark != wanted;
      wrong.at(x, y) = bad ? 1 : 0;
      const unsigned part = parts.PartOf(x, y);
      if (bad) {
        ++damage.wrongModules;
        damage.damaged |= part;
      }
      if (part != 0 && !logoBox.isEmpty() && logoBox.contains(column.centre, row.centre) &&
          InLogoRegion(column.centre - logoBox.left(), row.centre - logoBox.top(), logoBox.width(),
                       logoBox.height()))
        damage.underLogo |= part;
    }
  }

  // The codeword every data module carries, in the encoder's placement
  // order; the remainder cells after the last codeword carry none.
  ModuleMatrix functions(n);
  QrEncoder::DrawFunctionPatterns(functions, v);
  std::vector<std::uint16_t> order;
  QrEncoder::PlacementOrder(functions, order);
  const int total = QrEncoder::TotalCodewords(v);
  std::vector<std::uint8_t> codewordWrong(static_cast<std::size_t>(total), 0);
  const std::size_t bits = std::min(order.size(), static_cast<std::size_t>(8 * total));
  for (std::size_t i = 0; i < bits; ++i)
    if (wrong.cells[order[i]])
      codewordWrong[i / 8] = 1;

  const int B = QrEncoder::EcBlocks(v, ecLevel);
  const int E = QrEncoder::EcCodewords(v, ecLevel);
  damage.blocks.assign(static_cast<std::size_t>(B),
                       BlockDamage{0, CorrectableErrors(v, ecLevel, E)});
  for (int p = 0; p < total; ++p)
    if (codewordWrong[static_cast<std::size_t>(p)])
      ++damage.blocks[static_cast<std::size_t>(BlockOfCodeword(total, B, E, p))].wrong;
  return damage;
}

int BlockOfCodeword(int totalCodewords, int blocks, int checkPerBlock, int position) {
  // The interleaving read backwards: data codeword k of block h lies at
  // k * B + h, the long blocks' last one after all others, and check
  // codeword m of block h at D + m * B + h.
  const int B = blocks;
  const int D = totalCodewords - B * checkPerBlock;
  const int K = (D + B - 1) / B;
  const int S = D % B > 0 ? B - D % B : 0;
  const int p = position;
  if (p >= D)
    return (p - D) % B;
  if (p < (K - 1) * B)
    return p % B;
  return S + (p - (K - 1) * B);
}

} // namespace zub
