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

// The FunctionPart of each of the encoder's function patterns; 0 for a
// free cell.
unsigned PartOf(std::uint8_t pattern) {
  switch (pattern) {
  case QrEncoder::kFinderPattern:
    return kFinderPart;
  case QrEncoder::kFormatArea:
  case QrEncoder::kDarkModule:
    return kFormatPart;
  case QrEncoder::kVersionArea:
    return kVersionPart;
  case QrEncoder::kTimingPattern:
    return kTimingPart;
  case QrEncoder::kAlignmentPattern:
    return kAlignmentPart;
  default:
    return 0;
  }
}

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
  // The encoder's function patterns, each cell marked with its pattern;
  // its free cells are the ones the placement fills.
  ModuleMatrix patterns(n);
  QrEncoder::MapFunctionPatterns(patterns, v);
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
      const unsigned part = PartOf(patterns.at(x, y));
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
  std::vector<std::uint16_t> order;
  QrEncoder::PlacementOrder(patterns, order);
  const int total = QrEncoder::TotalCodewords(v);
  std::vector<std::uint8_t> codewordWrong(static_cast<std::size_t>(total), 0);
  const std::size_t bits = std::min(order.size(), static_cast<std::size_t>(8 * total));
  for (std::size_t i = 0; i < bits; ++i)
    if (wrong.cells[order[i]])
      codewordWrong[i / 8] = 1;

  // Each wrong codeword charged to the block the encoder took it from.
  std::vector<std::uint8_t> blockOf;
  QrEncoder::CodewordBlocks(v, ecLevel, blockOf);
  const int B = QrEncoder::EcBlocks(v, ecLevel);
  const int E = QrEncoder::EcCodewords(v, ecLevel);
  damage.blocks.assign(static_cast<std::size_t>(B),
                       BlockDamage{0, CorrectableErrors(v, ecLevel, E)});
  for (std::size_t p = 0; p < blockOf.size(); ++p)
    if (codewordWrong[p])
      ++damage.blocks[blockOf[p]].wrong;
  return damage;
}

} // namespace zub
