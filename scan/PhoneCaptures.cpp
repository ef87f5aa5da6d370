#include "PhoneCaptures.h"

#include <QPointF>
#include <QPolygonF>
#include <QTransform>

#include <jpeglib.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace zub {

namespace {

// The frame around the picture, as a share of it: the phone shows some of
// what lies around. Wide enough (640 pixels and more) that wechat_qrcode
// looks at the frame at half size first, as it does at a phone's own frame
// size.
constexpr double kFrame = 1.2;

struct Shot {
  double scale;       // capture pixels a picture pixel
  double degrees;     // turned clockwise
  double keystone;    // how much narrower the far (top) edge is
  double blur;        // the lens's and the hand's blur, sigma in capture pixels
  double contrast;    // of the screen as the camera sees it, 1: full
  int noise;          // sensor noise, at most this many grey levels either way
  int quality;        // of the JPEG frame
  std::uint32_t seed; // of the noise
};

Shot ShotOf(CaptureKind kind) {
  switch (kind) {
  case CaptureKind::Distant:
    return {1.0, 0.0, 0.0, 0.5, 1.0, 3, 85, 0x9e3779b9u};
  case CaptureKind::Tilted:
    return {1.25, 4.0, 0.03, 0.6, 1.0, 4, 80, 0x7f4a7c15u};
  case CaptureKind::Shaky:
    break;
  }
  return {1.25, -2.0, 0.0, 0.9, 0.8, 6, 75, 0x85ebca6bu};
}

// An 8-bit grey picture as plain rows.
struct Grey {
  int width = 0, height = 0;
  std::vector<std::uint8_t> pixels;
  std::uint8_t at(int x, int y) const {
    return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                  static_cast<std::size_t>(x)];
  }
};

// One row of the blur across: `taps` weights over a row padded with its
// edge pixels. The count known at compile time lets the loop over the row
// run several pixels at once.
template <int taps>
void BlurRowAcross(const int *weights, const int *row, std::uint8_t *dst, std::size_t width) {
  for (std::size_t x = 0; x < width; ++x) {
    int acc = 32768;
    for (int i = 0; i < taps; ++i)
      acc += weights[i] * row[x + static_cast<std::size_t>(i)];
    dst[x] = static_cast<std::uint8_t>(acc >> 16);
  }
}

void BlurRowAcross(const std::vector<int> &weights, const int *row, std::uint8_t *dst,
                   std::size_t width) {
  switch (weights.size()) {
  case 3:
    return BlurRowAcross<3>(weights.data(), row, dst, width);
  case 5:
    return BlurRowAcross<5>(weights.data(), row, dst, width);
  case 7:
    return BlurRowAcross<7>(weights.data(), row, dst, width);
  default:
    break;
  }
  for (std::size_t x = 0; x < width; ++x) {
    int acc = 32768;
    for (std::size_t i = 0; i < weights.size(); ++i)
      acc += weights[i] * row[x + i];
    dst[x] = static_cast<std::uint8_t>(acc >> 16);
  }
}

// A Gaussian blur of `sigma` pixels, in fixed point so that every machine
// gives the same bytes.
Grey Blurred(const Grey &in, double sigma) {
  const int radius = std::max(1, static_cast<int>(std::ceil(3 * sigma)));
  std::vector<int> weights(static_cast<std::size_t>(2 * radius + 1));
  double sum = 0;
  for (int i = -radius; i <= radius; ++i)
    sum += std::exp(-(i * i) / (2 * sigma * sigma));
  int total = 0;
  for (int i = -radius; i <= radius; ++i) {
    weights[static_cast<std::size_t>(i + radius)] =
        static_cast<int>(std::lround(std::exp(-(i * i) / (2 * sigma * sigma)) / sum * 65536));
    total += weights[static_cast<std::size_t>(i + radius)];
  }
  weights[static_cast<std::size_t>(radius)] += 65536 - total;

  const int width = in.width, height = in.height;
  const auto w = static_cast<std::size_t>(width);
  // Across: each row padded with its edge pixels.
  Grey across;
  across.width = width;
  across.height = height;
  across.pixels.resize(in.pixels.size());
  std::vector<int> row(w + 2 * static_cast<std::size_t>(radius));
  for (int y = 0; y < height; ++y) {
    const std::uint8_t *src = in.pixels.data() + static_cast<std::size_t>(y) * w;
    for (int x = -radius; x < width + radius; ++x)
      row[static_cast<std::size_t>(x + radius)] = src[std::clamp(x, 0, width - 1)];
    BlurRowAcross(weights, row.data(), across.pixels.data() + static_cast<std::size_t>(y) * w, w);
  }
  // Down: whole rows at a time, the nearest row past an edge.
  Grey out;
  out.width = width;
  out.height = height;
  out.pixels.resize(in.pixels.size());
  std::vector<int> acc(w);
  for (int y = 0; y < height; ++y) {
    std::fill(acc.begin(), acc.end(), 32768);
    for (int i = -radius; i <= radius; ++i) {
      const int weight = weights[static_cast<std::size_t>(i + radius)];
      const std::uint8_t *src =
          across.pixels.data() + static_cast<std::size_t>(std::clamp(y + i, 0, height - 1)) * w;
      for (std::size_t x = 0; x < w; ++x)
        acc[x] += weight * src[x];
    }
    std::uint8_t *dst = out.pixels.data() + static_cast<std::size_t>(y) * w;
    for (std::size_t x = 0; x < w; ++x)
      dst[x] = static_cast<std::uint8_t>(acc[x] >> 16);
  }
  return out;
}

// The grey at (`fx`, `fy`) in pixel units (pixel centres at whole numbers),
// between the four nearest pixels; -1 beyond the picture. Within the
// picture a coordinate lies from -0.5 to the last pixel's + 0.5, so its
// whole part is the nearest pixel at or before it (the first for the half
// pixel before it), and its fraction in 256ths nothing before the first.
inline int Sample(const Grey &g, double fx, double fy) {
  if (!(fx >= -0.5 && fy >= -0.5 && fx <= g.width - 0.5 && fy <= g.height - 0.5))
    return -1;
  const int x0 = static_cast<int>(fx), y0 = static_cast<int>(fy);
  const int x1 = std::min(x0 + 1, g.width - 1), y1 = std::min(y0 + 1, g.height - 1);
  // Weights in 256ths.
  const int ax = fx < 0 ? 0 : static_cast<int>((fx - x0) * 256);
  const int ay = fy < 0 ? 0 : static_cast<int>((fy - y0) * 256);
  const std::uint8_t *top =
      g.pixels.data() + static_cast<std::size_t>(y0) * static_cast<std::size_t>(g.width);
  const std::uint8_t *below =
      g.pixels.data() + static_cast<std::size_t>(y1) * static_cast<std::size_t>(g.width);
  const int upper = top[x0] * (256 - ax) + top[x1] * ax;
  const int lower = below[x0] * (256 - ax) + below[x1] * ax;
  return (upper * (256 - ay) + lower * ay + 32768) >> 16;
}

// A small, fast generator of the same numbers on every machine.
struct Noise {
  static constexpr std::uint32_t kMultiplier = 1664525u, kIncrement = 1013904223u;
  // Two steps at once: the second state straight from the first.
  static constexpr std::uint32_t kMultiplier2 = kMultiplier * kMultiplier;
  static constexpr std::uint32_t kIncrement2 = kMultiplier * kIncrement + kIncrement;
  std::uint32_t state;
  // Two uniform draws from 0 to 255, summed: a triangle around 255, as
  // sensor noise is mostly small.
  int draws() {
    const std::uint32_t first = state * kMultiplier + kIncrement;
    state = state * kMultiplier2 + kIncrement2;
    return static_cast<int>(first >> 24) + static_cast<int>(state >> 24);
  }
};

// The noise of each sum of two draws, at most `amplitude` grey levels
// either way: looked up for every pixel rather than divided out.
std::array<int, 511> NoiseLevels(int amplitude) {
  std::array<int, 511> levels{};
  for (int sum = 0; sum < 511; ++sum)
    levels[static_cast<std::size_t>(sum)] = ((sum - 255) * amplitude) / 255;
  return levels;
}

// libjpeg reports a fatal error by calling error_exit, which must not
// return: it jumps back to the setjmp of the call.
struct JpegError {
  jpeg_error_mgr manager;
  std::jmp_buf jump;
};

[[noreturn]] void JumpOnJpegError(j_common_ptr info) {
  std::longjmp(reinterpret_cast<JpegError *>(info->err)->jump, 1);
}

// `grey` compressed as a grey JPEG of `quality` and decoded again, as a
// scanner app gets its frame. libjpeg itself, in memory: Qt's writer needs
// a QIODevice, a QObject, which a thread of the pool without an event loop
// would keep a trace of after every call. The frame as it is if libjpeg
// fails, which in memory it does not.
QImage JpegRoundTrip(const QImage &grey, int quality) {
  unsigned char *compressed = nullptr;
  unsigned long size = 0;
  {
    jpeg_compress_struct job{};
    JpegError error{};
    job.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = JumpOnJpegError;
    if (setjmp(error.jump) != 0) {
      jpeg_destroy_compress(&job);
      std::free(compressed);
      return grey;
    }
    jpeg_create_compress(&job);
    jpeg_mem_dest(&job, &compressed, &size);
    job.image_width = static_cast<JDIMENSION>(grey.width());
    job.image_height = static_cast<JDIMENSION>(grey.height());
    job.input_components = 1;
    job.in_color_space = JCS_GRAYSCALE;
    jpeg_set_defaults(&job);
    jpeg_set_quality(&job, quality, TRUE);
    jpeg_start_compress(&job, TRUE);
    while (job.next_scanline < job.image_height) {
      JSAMPROW row = const_cast<JSAMPROW>(grey.constScanLine(static_cast<int>(job.next_scanline)));
      jpeg_write_scanlines(&job, &row, 1);
    }
    jpeg_finish_compress(&job);
    jpeg_destroy_compress(&job);
  }
  QImage decoded(grey.size(), QImage::Format_Grayscale8);
  jpeg_decompress_struct job{};
  JpegError error{};
  job.err = jpeg_std_error(&error.manager);
  error.manager.error_exit = JumpOnJpegError;
  if (setjmp(error.jump) != 0) {
    jpeg_destroy_decompress(&job);
    std::free(compressed);
    return grey;
  }
  jpeg_create_decompress(&job);
  jpeg_mem_src(&job, compressed, size);
  jpeg_read_header(&job, TRUE);
  job.out_color_space = JCS_GRAYSCALE;
  job.dct_method = JDCT_ISLOW;
  jpeg_start_decompress(&job);
  while (job.output_scanline < job.output_height) {
    JSAMPROW row = decoded.scanLine(static_cast<int>(job.output_scanline));
    jpeg_read_scanlines(&job, &row, 1);
  }
  jpeg_finish_decompress(&job);
  jpeg_destroy_decompress(&job);
  std::free(compressed);
  return decoded;
}

} // namespace

QImage PhoneCapture(const QImage &picture, CaptureKind kind) {
  if (picture.isNull())
    return {};
  const Shot shot = ShotOf(kind);
  const QImage grey = picture.convertToFormat(QImage::Format_Grayscale8);
  Grey source;
  source.width = grey.width();
  source.height = grey.height();
  source.pixels.resize(static_cast<std::size_t>(source.width) *
                       static_cast<std::size_t>(source.height));
  for (int y = 0; y < source.height; ++y)
    std::copy_n(grey.constScanLine(y), source.width,
                source.pixels.data() +
                    static_cast<std::size_t>(y) * static_cast<std::size_t>(source.width));

  // The blur of the lens, and the sensor's pixel that sums a patch of the
  // picture, both measured on the picture.
  const double sigma = std::sqrt(shot.blur * shot.blur + 0.25) / shot.scale;
  const Grey soft = Blurred(source, sigma);

  // The frame shows the picture with some of its surroundings.
  const double w = source.width * shot.scale, h = source.height * shot.scale;
  const int frameWidth = static_cast<int>(std::lround(w * kFrame));
  const int frameHeight = static_cast<int>(std::lround(h * kFrame));
  const QPointF centre(frameWidth / 2.0, frameHeight / 2.0);
  const double inset = w * shot.keystone / 2;
  QPolygonF corners{QPointF(-w / 2 + inset, -h / 2), QPointF(w / 2 - inset, -h / 2),
                    QPointF(w / 2, h / 2), QPointF(-w / 2, h / 2)};
  const double turn = shot.degrees * M_PI / 180;
  for (QPointF &c : corners)
    c = centre + QPointF(c.x() * std::cos(turn) - c.y() * std::sin(turn),
                         c.x() * std::sin(turn) + c.y() * std::cos(turn));
  QTransform toFrame;
  const QPolygonF pictureCorners{QPointF(0, 0), QPointF(source.width, 0),
                                 QPointF(source.width, source.height), QPointF(0, source.height)};
  QTransform::quadToQuad(pictureCorners, corners, toFrame);
  bool invertible = false;
  const QTransform t = toFrame.inverted(&invertible);

  const int low = static_cast<int>(std::lround(255 * (1 - shot.contrast) / 2));
  const int surround = 190;
  Noise noise{shot.seed};
  QImage frame(frameWidth, frameHeight, QImage::Format_Grayscale8);
  // The frame pixel's centre on the picture is a projective map (the tilt
  // leans the picture back). Its products with a column's or a row's
  // coordinate are made once for the frame and each row, and a map without
  // perspective divides by nothing: the sums and quotients are the very
  // ones the map gives pixel by pixel, to the last bit.
  const auto columns = static_cast<std::size_t>(frameWidth);
  std::vector<double> byX(3 * columns);
  for (std::size_t x = 0; x < columns; ++x) {
    const double px = static_cast<double>(x) + 0.5;
    byX[3 * x] = t.m11() * px;
    byX[3 * x + 1] = t.m12() * px;
    byX[3 * x + 2] = t.m13() * px;
  }
  const bool affine = t.m13() == 0 && t.m23() == 0 && t.m33() == 1;
  // A grey of the picture as the screen shows it, with its contrast.
  std::array<int, 256> shown{};
  for (int v = 0; v < 256; ++v)
    shown[static_cast<std::size_t>(v)] = low + (v * (255 - 2 * low) + 127) / 255;
  const std::array<int, 511> noiseLevels = NoiseLevels(shot.noise);
  // A capture square on and at the picture's own scale is a whole-pixel
  // shift of it: each frame pixel is one pixel of the blurred picture, with
  // nothing between pixels to weigh, which is what the map below gives too.
  const bool shift = invertible && affine && t.m11() == 1 && t.m12() == 0 && t.m21() == 0 &&
                     t.m22() == 1 && t.dx() == std::trunc(t.dx()) && t.dy() == std::trunc(t.dy()) &&
                     std::abs(t.dx()) < 1e6 && std::abs(t.dy()) < 1e6;
  if (shift) {
    const int shiftX = static_cast<int>(t.dx()), shiftY = static_cast<int>(t.dy());
    for (int y = 0; y < frameHeight; ++y) {
      std::uint8_t *line = frame.scanLine(y);
      const int sy = y + shiftY;
      const std::uint8_t *row = sy >= 0 && sy < soft.height
                                    ? soft.pixels.data() + static_cast<std::size_t>(sy) *
                                                               static_cast<std::size_t>(soft.width)
                                    : nullptr;
      for (int x = 0; x < frameWidth; ++x) {
        const int sx = x + shiftX;
        const int v = row && sx >= 0 && sx < soft.width ? shown[row[sx]] : surround;
        line[x] = static_cast<std::uint8_t>(
            std::clamp(v + noiseLevels[static_cast<std::size_t>(noise.draws())], 0, 255));
      }
    }
    return JpegRoundTrip(frame, shot.quality);
  }
  for (int y = 0; y < frameHeight; ++y) {
    std::uint8_t *line = frame.scanLine(y);
    const double py = y + 0.5;
    const double m21y = t.m21() * py, m22y = t.m22() * py, m23y = t.m23() * py;
    for (std::size_t x = 0; x < columns; ++x) {
      const double *p = &byX[3 * x];
      double sx = p[0] + m21y + t.dx();
      double sy = p[1] + m22y + t.dy();
      if (!affine) {
        const double d = p[2] + m23y + t.m33();
        sx /= d;
        sy /= d;
      }
      const int seen = invertible ? Sample(soft, sx - 0.5, sy - 0.5) : -1;
      const int v = seen < 0 ? surround : shown[static_cast<std::size_t>(seen)];
      line[x] = static_cast<std::uint8_t>(
          std::clamp(v + noiseLevels[static_cast<std::size_t>(noise.draws())], 0, 255));
    }
  }

  return JpegRoundTrip(frame, shot.quality);
}

} // namespace zub
