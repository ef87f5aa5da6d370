#pragma once

#include <cstdint>
#include <memory>

namespace zub {

// The white modules around every symbol the encoder draws.
inline constexpr int kQuietZone = 4;

// What a symbol picture shows, as the encoder made it.
struct SymbolFacts {
  int version = 0; // 1..40; 0: the picture is no symbol
  int ecLevel = 0; // 1 L, 2 M, 3 Q, 4 H
  int mask = 0;    // 0..7
  int modules = 0; // modules a side, 4 * version + 17, without the quiet zone

  bool operator==(const SymbolFacts &) const = default;
};

// An off-screen 8-bit grey bitmap while it is being drawn. Rows are top-down
// and padded to a multiple of 4 bytes, so toolkits that want 32-bit aligned
// scan lines can use the pixels in place. No pixels means creation failed.
struct Bitmap {
  std::shared_ptr<std::uint8_t[]> pixels;
  int width = 0;
  int height = 0;
  int stride = 0;

  // A width x height bitmap filled with `fill`; no pixels for a non-positive
  // size or when memory runs out.
  static Bitmap Create(int width, int height, std::uint8_t fill);
  // The same with its pixels left for the caller to write, every one of
  // them, padding included.
  static Bitmap Allocate(int width, int height);
  std::uint8_t *scanLine(int y) { return pixels.get() + y * stride; }
};

// A shared, immutable 8-bit grey picture that owns its pixels.
//
// A default-constructed Picture is null ("no picture"). Copies share the
// pixels, and nobody can change them once the picture exists, so a copy can
// be handed to another thread or wrapped by a toolkit image without copying.
class Picture {
public:
  Picture() = default;

  // Takes the bitmap over; null when it has no pixels. A symbol's picture
  // keeps the symbol's facts.
  static Picture FromBitmap(Bitmap &&bitmap, const SymbolFacts &facts = {});

  bool isNull() const { return !pixels_; }
  explicit operator bool() const { return static_cast<bool>(pixels_); }

  int width() const { return width_; }
  int height() const { return height_; }
  int bytesPerLine() const { return stride_; }
  // Version 0 for a picture that is no symbol.
  const SymbolFacts &facts() const { return facts_; }
  const std::uint8_t *bits() const { return pixels_.get(); }
  const std::uint8_t *scanLine(int y) const { return pixels_.get() + y * stride_; }
  // 0 is black, 255 white; the encoder's pictures hold nothing else.
  std::uint8_t pixel(int x, int y) const { return scanLine(y)[x]; }

  static constexpr std::uint8_t kBlack = 0;
  static constexpr std::uint8_t kWhite = 255;

private:
  std::shared_ptr<const std::uint8_t[]> pixels_;
  int width_ = 0;
  int height_ = 0;
  int stride_ = 0;
  SymbolFacts facts_;
};

// Copies a width x height image of one byte per pixel (0 white, 1 black,
// rows of exactly `width` bytes, top-down) 1:1 into a white bitmap of
// (left + width + right) x (top + height + bottom) pixels at (left, top).
// Null when the bitmap cannot be made.
Picture BitsToPicture(const std::uint8_t *bits, int width, int height, int left, int top, int right,
                      int bottom);

// Hands a finished bitmap over to a picture that owns it; null when the
// bitmap has no pixels.
Picture BitmapToPicture(Bitmap &&bitmap);

} // namespace zub
