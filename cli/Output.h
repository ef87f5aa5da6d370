#pragma once

#include "Options.h"
#include "Picture.h"

#include <QByteArray>
#include <QImage>

#include <string>

namespace zub::cli {

// The encoder's picture holds the symbol with a quiet zone of this many
// modules, one pixel a module.
inline constexpr int kPictureQuietZone = 4;
// The largest picture side `encode` makes: a bitmap of it takes 200 MB.
inline constexpr int kMaxPictureSide = 8192;

// The symbol with `scale` pixels a module and `margin` modules of quiet zone,
// black on white (Format_Grayscale8). Null when the side would exceed
// kMaxPictureSide.
QImage SymbolImage(const Picture &symbol, int scale, int margin);

// The symbol as an SVG document: one unit a module times `scale`, a white
// square with the quiet zone and one path of dark squares, drawn with crisp
// edges so that a rasteriser keeps modules whole.
QByteArray SymbolSvg(const Picture &symbol, int scale, int margin);

// The symbol for a terminal in UTF-8: each character is one module wide and
// two high, light modules drawn with the half and full block characters and
// dark ones left as spaces, so a dark terminal background shows them dark.
// Lines end in "\n".
QByteArray SymbolText(const Picture &symbol, int margin);

// The bytes of a raster picture in `format` (Png, Bmp or Jpeg).
QByteArray RasterBytes(const QImage &image, OutputFormat format);

// Writes `bytes` to `output`: "-" is standard output, a pipe, character
// device or terminal by name is written into, anything else is a file that
// appears complete or not at all (WriteFileAtomically). False with
// `error` one English line on failure.
bool WriteOutput(const QByteArray &bytes, const std::string &output, std::string &error);

} // namespace zub::cli
