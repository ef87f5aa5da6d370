#pragma once

#include <cstdint>
#include <memory>

namespace zub {

// A shared, immutable 8-bit grey picture that owns its pixels.
//
// A default-constructed Picture is null ("no picture"). Copies share the
// pixels; nobody can change them after the picture is made, so a copy can be
// handed to another thread or wrapped by a toolkit image without copying.
// Rows are stored top-down, each padded to a multiple of 4 bytes so that
// toolkits that need 32-bit aligned scan lines can use the buffer directly.
class Picture {
public:
  Picture() = default;

  // Makes a width x height picture filled with `fill` and lets `draw` write
  // its pixels once before the picture becomes immutable. Returns null for a
  // non-positive size.
  template <typename Draw>
  static Picture Make(int width, int height, std::uint8_t fill, Draw &&draw);

  bool isNull() const { return !data_; }
  explicit operator bool() const { return static_cast<bool>(data_); }

  int width() const { return width_; }
  int height() const { return height_; }
  int bytesPerLine() const { return stride_; }
  const std::uint8_t *bits() const { return data_.get(); }
  const std::uint8_t *scanLine(int y) const { return data_.get() + y * stride_; }
  // 0 is black, 255 white; the encoder's pictures hold nothing else.
  std::uint8_t pixel(int x, int y) const { return scanLine(y)[x]; }

  static constexpr std::uint8_t kBlack = 0;
  static constexpr std::uint8_t kWhite = 255;

private:
  static std::shared_ptr<std::uint8_t[]> Allocate(int width, int height, int stride,
                                                  std::uint8_t fill);

  std::shared_ptr<const std::uint8_t[]> data_;
  int width_ = 0;
  int height_ = 0;
  int stride_ = 0;
};

template <typename Draw>
Picture Picture::Make(int width, int height, std::uint8_t fill, Draw &&draw) {
  Picture p;
  if (width <= 0 || height <= 0)
    return p;
  const int stride = (width + 3) & ~3;
  std::shared_ptr<std::uint8_t[]> pixels = Allocate(width, height, stride, fill);
  if (!pixels)
    return p;
  draw(pixels.get(), stride);
  p.data_ = std::move(pixels);
  p.width_ = width;
  p.height_ = height;
  p.stride_ = stride;
  return p;
}

} // namespace zub
