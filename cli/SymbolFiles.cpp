#include "SymbolFiles.h"

#include "JpegFile.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <limits>
#include <string_view>

namespace zub::cli {

namespace {

// What Qt wrote into every PNG: 100 dots an inch, in dots a metre.
constexpr png_uint_32 kPngDotsPerMeter = 3937;
// And into every bitmap: 96 dots an inch.
constexpr std::uint32_t kBmpDotsPerMeter = 3780;
constexpr int kBmpFileHeaderBytes = 14;
constexpr int kBmpInfoHeaderBytes = 40;

// Draws the picture row by row: Row(y) gives pixel row y as one byte a
// pixel, 1 for a dark module and 0 for a light one.
class Rows {
public:
  Rows(const Picture &symbol, const SymbolLook &look)
      : symbol_(symbol), look_(look), modules_(symbol.facts().modules),
        side_(static_cast<int>(PictureSide(symbol, look))),
        row_(static_cast<std::size_t>(side_), 0) {}

  int Side() const { return side_; }

  const std::uint8_t *Row(int y) {
    const int moduleY = y / look_.scale - look_.margin;
    if (moduleY != lastModuleY_) {
      lastModuleY_ = moduleY;
      std::memset(row_.data(), 0, row_.size());
      if (moduleY >= 0 && moduleY < modules_) {
        const std::uint8_t *in = symbol_.scanLine(moduleY + kQuietZone) + kQuietZone;
        for (int x = 0; x < modules_; ++x)
          if (in[x] == Picture::kBlack)
            std::memset(row_.data() + (x + look_.margin) * look_.scale, 1,
                        static_cast<std::size_t>(look_.scale));
      }
    }
    return row_.data();
  }

private:
  const Picture &symbol_;
  SymbolLook look_;
  int modules_;
  int side_;
  std::vector<std::uint8_t> row_;
  int lastModuleY_ = std::numeric_limits<int>::min();
};

bool Drawable(const Picture &symbol, const SymbolLook &look) {
  return !symbol.isNull() && PictureSide(symbol, look) <= kMaxPictureSide &&
         PictureSide(symbol, look) > 0;
}

// --- PNG through libpng ---

void PngAppend(png_structp png, png_bytep data, png_size_t length) {
  auto *out = static_cast<std::vector<std::uint8_t> *>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + length);
}

void PngFlush(png_structp) {}

struct PngJob {
  png_structp png = nullptr;
  png_infop info = nullptr;
  std::vector<std::uint8_t> out;
  std::vector<std::uint8_t> line;
};

// Nothing here may need a destructor: a libpng error jumps back to the
// setjmp. The vectors live in `job`, outside.
bool CompressPng(PngJob &job, Rows &rows, const Colours &colours) {
  if (setjmp(png_jmpbuf(job.png)) != 0)
    return false;
  png_set_write_fn(job.png, &job.out, PngAppend, PngFlush);
  const bool grey = colours.dark.Grey() && colours.light.Grey() && colours.dark.Opaque() &&
                    colours.light.Opaque();
  const bool alpha = !colours.dark.Opaque() || !colours.light.Opaque();
  const int channels = grey ? 1 : alpha ? 4 : 3;
  const auto side = static_cast<png_uint_32>(rows.Side());
  png_set_IHDR(job.png, job.info, side, side, 8,
               grey    ? PNG_COLOR_TYPE_GRAY
               : alpha ? PNG_COLOR_TYPE_RGB_ALPHA
                       : PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_BASE, PNG_FILTER_TYPE_BASE);
  png_set_pHYs(job.png, job.info, kPngDotsPerMeter, kPngDotsPerMeter, PNG_RESOLUTION_METER);
  png_write_info(job.png, job.info);
  const std::uint8_t dark[4] = {colours.dark.r, colours.dark.g, colours.dark.b, colours.dark.a};
  const std::uint8_t light[4] = {colours.light.r, colours.light.g, colours.light.b,
                                 colours.light.a};
  for (int y = 0; y < rows.Side(); ++y) {
    const std::uint8_t *row = rows.Row(y);
    for (int x = 0; x < rows.Side(); ++x)
      std::memcpy(job.line.data() + x * channels, row[x] ? dark : light,
                  static_cast<std::size_t>(channels));
    png_write_row(job.png, job.line.data());
  }
  png_write_end(job.png, nullptr);
  return true;
}

void Append(std::string &out, std::initializer_list<std::string_view> parts) {
  for (std::string_view part : parts)
    out.append(part);
}

void Put16(std::uint8_t *at, std::uint32_t v) {
  at[0] = static_cast<std::uint8_t>(v & 0xFF);
  at[1] = static_cast<std::uint8_t>((v >> 8) & 0xFF);
}

void Put32(std::uint8_t *at, std::uint32_t v) {
  Put16(at, v & 0xFFFF);
  Put16(at + 2, v >> 16);
}

} // namespace

long long PictureSide(const Picture &symbol, const SymbolLook &look) {
  return static_cast<long long>(symbol.facts().modules + 2 * look.margin) * look.scale;
}

std::vector<std::uint8_t> SymbolPng(const Picture &symbol, const SymbolLook &look) {
  if (!Drawable(symbol, look))
    return {};
  Rows rows(symbol, look);
  PngJob job;
  job.line.resize(static_cast<std::size_t>(rows.Side()) * 4);
  job.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (job.png)
    job.info = png_create_info_struct(job.png);
  const bool ok = job.info && CompressPng(job, rows, look.colours);
  png_destroy_write_struct(&job.png, &job.info);
  if (!ok)
    return {};
  return std::move(job.out);
}

std::vector<std::uint8_t> SymbolJpeg(const Picture &symbol, const SymbolLook &look) {
  if (!Drawable(symbol, look))
    return {};
  Rows rows(symbol, look);
  std::vector<std::uint8_t> line(static_cast<std::size_t>(rows.Side()) * 3);
  const Colours &c = look.colours;
  const std::uint8_t dark[3] = {c.dark.r, c.dark.g, c.dark.b};
  const std::uint8_t light[3] = {c.light.r, c.light.g, c.light.b};
  return CompressJpeg(rows.Side(), rows.Side(), [&](int y) {
    const std::uint8_t *row = rows.Row(y);
    for (int x = 0; x < rows.Side(); ++x)
      std::memcpy(line.data() + 3 * x, row[x] ? dark : light, 3);
    return static_cast<const std::uint8_t *>(line.data());
  });
}

std::vector<std::uint8_t> SymbolBmp(const Picture &symbol, const SymbolLook &look) {
  if (!Drawable(symbol, look))
    return {};
  Rows rows(symbol, look);
  const long long side = rows.Side();
  const long long stride = (side * 3 + 3) & ~3LL;
  const long long pixelBytes = stride * side;
  const long long fileBytes = kBmpFileHeaderBytes + kBmpInfoHeaderBytes + pixelBytes;
  if (fileBytes > std::numeric_limits<std::int32_t>::max())
    return {};
  std::vector<std::uint8_t> out(static_cast<std::size_t>(fileBytes), 0);
  std::uint8_t *h = out.data();
  h[0] = 'B';
  h[1] = 'M';
  Put32(h + 2, static_cast<std::uint32_t>(fileBytes));
  Put32(h + 10, kBmpFileHeaderBytes + kBmpInfoHeaderBytes); // where the pixels start
  Put32(h + 14, kBmpInfoHeaderBytes);
  Put32(h + 18, static_cast<std::uint32_t>(side));
  Put32(h + 22, static_cast<std::uint32_t>(side)); // positive: bottom-up rows
  Put16(h + 26, 1);                                // planes
  Put16(h + 28, 24);                               // bits per pixel
  Put32(h + 30, 0);                                // no compression
  Put32(h + 34, static_cast<std::uint32_t>(pixelBytes));
  Put32(h + 38, kBmpDotsPerMeter);
  Put32(h + 42, kBmpDotsPerMeter);
  const Colours &c = look.colours;
  const std::uint8_t dark[3] = {c.dark.b, c.dark.g, c.dark.r};
  const std::uint8_t light[3] = {c.light.b, c.light.g, c.light.r};
  std::uint8_t *pixels = out.data() + kBmpFileHeaderBytes + kBmpInfoHeaderBytes;
  for (int y = 0; y < side; ++y) {
    const std::uint8_t *row = rows.Row(y);
    std::uint8_t *line = pixels + (side - 1 - y) * stride;
    for (int x = 0; x < side; ++x)
      std::memcpy(line + 3 * x, row[x] ? dark : light, 3);
  }
  return out;
}

std::string SymbolSvg(const Picture &symbol, const SymbolLook &look) {
  const int n = symbol.facts().modules;
  const int margin = look.margin;
  const int side = n + 2 * margin;
  const auto dark = [&](int x, int y) {
    return x >= 0 && y >= 0 && x < n && y < n &&
           symbol.pixel(x + kQuietZone, y + kQuietZone) == Picture::kBlack;
  };
  // Black on white keeps the short forms it always had.
  const auto fill = [](const Rgba &colour, const char *plain, bool isPlain) {
    std::string f = "fill=\"";
    Append(f, {isPlain ? std::string(plain) : HexColour(colour), "\""});
    if (!colour.Opaque()) {
      char opacity[32];
      std::snprintf(opacity, sizeof opacity, " fill-opacity=\"%.3g\"", colour.a / 255.0);
      f += opacity;
    }
    return f;
  };
  const Colours &c = look.colours;
  const std::string s = std::to_string(side);
  std::string svg;
  svg += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  const std::string pixels = std::to_string(side * look.scale);
  Append(svg, {"<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" viewBox=\"0 0 ", s, " ",
               s, "\" width=\"", pixels, "\" height=\"", pixels,
               "\" shape-rendering=\"crispEdges\">\n<rect width=\"", s, "\" height=\"", s, "\" ",
               fill(c.light, "#fff", c.light == Rgba{255, 255, 255, 255}), "/>\n<path ",
               fill(c.dark, "#000", c.dark == Rgba{0, 0, 0, 255}), " d=\""});
  // Each row's runs of dark modules as one rectangle each.
  for (int y = 0; y < n; ++y) {
    for (int x = 0; x < n;) {
      if (!dark(x, y)) {
        ++x;
        continue;
      }
      int run = 1;
      while (dark(x + run, y))
        ++run;
      Append(svg, {"M", std::to_string(x + margin), " ", std::to_string(y + margin), "h",
                   std::to_string(run), "v1h-", std::to_string(run), "z"});
      x += run;
    }
  }
  svg += "\"/>\n</svg>\n";
  return svg;
}

std::string SymbolText(const Picture &symbol, const SymbolLook &look, bool invert) {
  const int n = symbol.facts().modules;
  const int margin = look.margin;
  const auto drawn = [&](int x, int y) {
    const bool dark = x >= 0 && y >= 0 && x < n && y < n &&
                      symbol.pixel(x + kQuietZone, y + kQuietZone) == Picture::kBlack;
    return dark == invert;
  };
  std::string start, end;
  if (look.colours != Colours{}) {
    const Rgba &block = invert ? look.colours.dark : look.colours.light;
    const Rgba &ground = invert ? look.colours.light : look.colours.dark;
    Append(start, {"\x1b[38;2;", std::to_string(block.r), ";", std::to_string(block.g), ";",
                   std::to_string(block.b), "m\x1b[48;2;", std::to_string(ground.r), ";",
                   std::to_string(ground.g), ";", std::to_string(ground.b), "m"});
    end = "\x1b[0m";
  }
  std::string text;
  for (int y = -margin; y < n + margin; y += 2) {
    text += start;
    for (int x = -margin; x < n + margin; ++x) {
      const bool top = drawn(x, y);
      const bool bottom = y + 1 < n + margin && drawn(x, y + 1);
      text += top && bottom ? "\u2588" : top ? "\u2580" : bottom ? "\u2584" : " ";
    }
    text += end;
    text += "\n";
  }
  return text;
}

} // namespace zub::cli
