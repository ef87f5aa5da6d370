#include "SymbolReader.h"

#include "LevelLetter.h"
#include "QrEncoder.h"
#include "ScanCheck.h"

#include <ZXing/ReadBarcode.h>

#include <bit>
#include <cmath>
#include <map>

namespace zub {

namespace {

// Small pictures are read enlarged this many times first: readers look for
// finder patterns several pixels wide, and the format information is
// sampled better in the middle of a module of several pixels.
constexpr int kEnlarge = 4;
constexpr int kEnlargeBelow = 1000;

std::vector<ZXing::Result> Read(const QImage &grey) {
  const ZXing::ImageView view(grey.constBits(), grey.width(), grey.height(),
                              ZXing::ImageFormat::Lum, static_cast<int>(grey.bytesPerLine()));
  ZXing::DecodeHints hints;
  hints.setFormats(ZXing::BarcodeFormat::QRCode);
  hints.setTryHarder(true);
  std::vector<ZXing::Result> found;
  for (ZXing::Result &result : ZXing::ReadBarcodes(view, hints))
    if (result.isValid())
      found.push_back(std::move(result));
  return found;
}

int LevelOf(const std::string &name) {
  // The reader names the level by its capital letter.
  return name.size() == 1 && name[0] >= 'A' && name[0] <= 'Z' ? LevelOfLetter(name[0]) : 0;
}

// The version whose data codewords at `level` number `count`: the reader
// hands over exactly the data codewords, and their number grows with the
// version at every level.
int VersionOf(int level, std::size_t count) {
  static const QrEncoder tables;
  for (int v = 1; v <= 40; ++v)
    if (static_cast<std::size_t>(tables.DataCodewords(v, level)) == count)
      return v;
  return 0;
}

// The mask from the first copy of the format information: 15 modules around
// the top-left finder, sampled at their centres in the outline the reader
// found, and matched to the nearest valid code word of `level`.
int MaskOf(const QImage &grey, const ZXing::Position &outline, int version, int level) {
  const int n = QrEncoder::SymbolSize(version);
  const auto tl = outline.topLeft(), tr = outline.topRight(), bl = outline.bottomLeft();
  const auto dark = [&](int x, int y) {
    const double u = (x + 0.5) / n, v = (y + 0.5) / n;
    const int px = static_cast<int>(std::lround(tl.x + u * (tr.x - tl.x) + v * (bl.x - tl.x)));
    const int py = static_cast<int>(std::lround(tl.y + u * (tr.y - tl.y) + v * (bl.y - tl.y)));
    if (px < 0 || py < 0 || px >= grey.width() || py >= grey.height())
      return false;
    return grey.constScanLine(py)[px] < 128;
  };
  int bits = 0;
  const auto put = [&bits](int i, bool on) { bits |= (on ? 1 : 0) << i; };
  for (int i = 14; i >= 9; --i)
    put(i, dark(14 - i, 8));
  put(8, dark(7, 8));
  put(7, dark(8, 8));
  put(6, dark(8, 7));
  for (int i = 5; i >= 0; --i)
    put(i, dark(8, i));
  int best = -1, bestDistance = 4; // more than 3 wrong bits: not trusted
  for (int mask = 0; mask < 8; ++mask) {
    const int distance =
        std::popcount(static_cast<unsigned>(bits ^ QrEncoder::FormatBits(level, mask)));
    if (distance < bestDistance) {
      best = mask;
      bestDistance = distance;
    }
  }
  return best;
}

} // namespace

namespace {

// Adds to `found` the symbols of `more` it does not hold yet: a message
// already found as often as `more` has it is the same code seen again.
void AddNew(std::vector<FoundSymbol> &found, std::vector<FoundSymbol> more) {
  const auto key = [](const FoundSymbol &symbol) {
    return std::string(symbol.bytes.begin(), symbol.bytes.end());
  };
  std::map<std::string, int> seen, have;
  for (const FoundSymbol &symbol : found)
    ++have[key(symbol)];
  for (FoundSymbol &symbol : more)
    if (++seen[key(symbol)] > have[key(symbol)])
      found.push_back(std::move(symbol));
}

std::vector<FoundSymbol> ZxingSymbols(const QImage &grey) {
  std::vector<FoundSymbol> found;
  for (const ZXing::Result &result : Read(grey)) {
    FoundSymbol symbol;
    symbol.reader = "zxing-cpp";
    symbol.bytes.assign(result.bytes().begin(), result.bytes().end());
    symbol.text = result.text();
    symbol.ecLevel = LevelOf(result.ecLevel());
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    // The reader's only word on the symbol's size: its data codewords.
    if (symbol.ecLevel != 0)
      symbol.version = VersionOf(symbol.ecLevel, result.rawBytes().size());
#pragma GCC diagnostic pop
    if (symbol.version != 0)
      symbol.mask = MaskOf(grey, result.position(), symbol.version, symbol.ecLevel);
    found.push_back(std::move(symbol));
  }
  return found;
}

// zbar says nothing of version, level or mask.
std::vector<FoundSymbol> ZbarSymbols(const QImage &grey) {
  const std::vector<std::string> bytes = ZbarMessages(grey, true);
  const std::vector<std::string> texts = ZbarMessages(grey, false);
  std::vector<FoundSymbol> found;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    FoundSymbol symbol;
    symbol.reader = "zbar";
    symbol.bytes.assign(bytes[i].begin(), bytes[i].end());
    symbol.text = i < texts.size() ? texts[i] : bytes[i];
    found.push_back(std::move(symbol));
  }
  return found;
}

} // namespace

std::vector<FoundSymbol> ReadSymbols(const QImage &picture) {
  if (picture.isNull())
    return {};
  // Every code either reader finds, at either size, once each: one reader
  // may miss codes the other sees, and in a picture of many small codes
  // the enlarged picture shows some, the original others. zxing-cpp's
  // first, as it says more of each; the order depends on the picture alone.
  const QImage original = picture.convertToFormat(QImage::Format_Grayscale8);
  std::vector<QImage> sizes;
  if (original.width() < kEnlargeBelow && original.height() < kEnlargeBelow)
    sizes.push_back(original.scaled(original.width() * kEnlarge, original.height() * kEnlarge,
                                    Qt::IgnoreAspectRatio, Qt::FastTransformation));
  sizes.push_back(original);
  std::vector<FoundSymbol> found;
  for (const QImage &grey : sizes)
    AddNew(found, ZxingSymbols(grey));
  for (const QImage &grey : sizes)
    AddNew(found, ZbarSymbols(grey));
  return found;
}

} // namespace zub
