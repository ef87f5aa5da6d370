#pragma once

#include "Colours.h"
#include "Picture.h"

#include <cstdint>
#include <string>
#include <vector>

namespace zub::cli {

// The largest picture side `encode` makes: a bitmap of it takes 200 MB.
inline constexpr int kMaxPictureSide = 8192;

// The pixels a module `encode` draws unless told: a phone filming the
// picture on a screen needs modules of kPhoneModulePixels (3) at the least,
// and at 4 the three phone-like captures of every version read, with room
// for a screen that shows the picture a little smaller.
inline constexpr int kDefaultScale = 4;

// How a symbol is drawn: `scale` pixels a module, `margin` modules of quiet
// zone, in `colours`.
struct SymbolLook {
  int scale = 1;
  int margin = kQuietZone;
  Colours colours;
};

// The side in pixels of the picture `look` makes of `symbol`.
long long PictureSide(const Picture &symbol, const SymbolLook &look);

// The files of a symbol, made without any toolkit. Black on white they are
// byte for byte what the program wrote when it drew through Qt: an 8-bit
// grey PNG with a pHYs of 100 dpi, a 24-bit bitmap at 96 dpi, a baseline
// JPEG of quality 95 with full-size colour planes. Other colours give an RGB
// PNG (RGBA when one is transparent). Empty when the picture would be more
// than kMaxPictureSide a side or the library fails.
std::vector<std::uint8_t> SymbolPng(const Picture &symbol, const SymbolLook &look);
std::vector<std::uint8_t> SymbolBmp(const Picture &symbol, const SymbolLook &look);
std::vector<std::uint8_t> SymbolJpeg(const Picture &symbol, const SymbolLook &look);

// The symbol as an SVG document: one unit a module times `scale`, a square
// of the light colour with the quiet zone and one path of dark squares,
// drawn with crisp edges so that a rasteriser keeps modules whole.
std::string SymbolSvg(const Picture &symbol, const SymbolLook &look);

// The symbol for a terminal in UTF-8: each character is one module wide and
// two high, drawn with the half and full block characters. Light modules are
// drawn and dark ones left as spaces, so a dark terminal background shows
// them dark; `invert` draws the dark ones instead, for a light background.
// Colours other than black and white come as 24-bit colour escapes (block:
// the light colour, ground: the dark one; swapped when inverted), one pair
// a line, reset at its end. Lines end in "\n".
std::string SymbolText(const Picture &symbol, const SymbolLook &look, bool invert);

} // namespace zub::cli
