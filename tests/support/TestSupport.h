#pragma once

#include "MessageBytes.h"
#include "TestBytes.h"

#include <QImage>
#include <QString>

#include <cstdint>
#include <string>
#include <vector>

namespace zub::test {

// One QR Code found by the reference reader.
struct Decoded {
  std::vector<std::uint8_t> bytes; // the content as encoded
  QString text;                    // the content as a reader shows it
};

// Every QR Code that zxing-cpp finds in `image`, as it is. `charset` is the
// character set the reader falls back to for byte segments (it always reads
// kanji segments as Shift JIS); empty, the reader guesses as it does
// unasked.
std::vector<Decoded> DecodeAll(const QImage &image, const std::string &charset = "UTF-8");

// A colourful, deterministic 160 x 120 logo without transparency; variants
// differ in every pixel.
QImage SampleLogo(int variant = 0);

// A picture-like 512 x 512 logo: a sky, a sun, a hill and a red badge;
// smooth areas and sharp edges, as a photograph under the code has them.
QImage PaintedLogo();

// The pixels of `large`, outside the logo box drawn `scale` times larger,
// that are not the pixel of `small` they enlarge (nearest, `scale` x
// `scale` blocks); -1 when `large` is not `scale` times `small`'s size.
int DifferencesOutsideTheLogoBox(const QImage &small, const QImage &large, int scale);

// A text of Chinese and Latin characters whose bytes in `encoding` take
// about `fraction` of the byte capacity of a version and level.
QString TextOfSize(int version, int level, TextEncoding encoding, double fraction);

} // namespace zub::test
