#include "MessageBytes.h"

namespace zub {

std::vector<std::uint8_t> MessageBytes(const QString &text, TextEncoding encoding) {
  return TextBytes(std::u16string_view(reinterpret_cast<const char16_t *>(text.utf16()),
                                       static_cast<std::size_t>(text.size())),
                   encoding);
}

} // namespace zub
