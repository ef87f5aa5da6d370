#pragma once

#include <QImage>

#include <cstdint>
#include <string>
#include <vector>

namespace zub {

// A QR Code found in a picture.
struct FoundSymbol {
  std::vector<std::uint8_t> bytes; // the message as encoded
  std::string text;                // the message as a reader shows it, UTF-8
  int version = 0;                 // 1..40, or 0 when unknown
  int ecLevel = 0;                 // 1 L .. 4 H, or 0 when unknown
  int mask = -1;                   // 0..7, or -1 when unknown
  std::string reader;              // "zxing-cpp" or "zbar"
};

// Every QR Code the readers of the scan check find in `picture`, once each:
// zxing-cpp's, then those only zbar finds, each in the reader's order. A
// picture under 1000 pixels a side (`zubqr encode` writes one pixel a
// module by default) is read enlarged as well as at its own size, as a
// camera would see it. The mask is read
// from the first copy of the format information, sampled in the reader's
// outline of the symbol. Empty for a null picture or one without a code.
std::vector<FoundSymbol> ReadSymbols(const QImage &picture);

} // namespace zub
