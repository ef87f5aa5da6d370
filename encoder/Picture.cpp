#include "Picture.h"

#include <cstring>
#include <new>

namespace zub {

std::shared_ptr<std::uint8_t[]> Picture::Allocate(int width, int height, int stride,
                                                  std::uint8_t fill) {
  (void)width;
  const auto size = static_cast<std::size_t>(stride) * static_cast<std::size_t>(height);
  try {
    // One allocation for the count and the pixels; no zero-fill we would overwrite.
    auto pixels = std::make_shared_for_overwrite<std::uint8_t[]>(size);
    std::memset(pixels.get(), fill, size);
    return pixels;
  } catch (const std::bad_alloc &) {
    return {};
  }
}

} // namespace zub
