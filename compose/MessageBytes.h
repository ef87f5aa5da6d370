#pragma once

#include "TextBytes.h"

#include <QString>

#include <cstdint>
#include <vector>

namespace zub {

// The message bytes of `text` in `encoding`.
//
// Utf8: the UTF-8 form; a lone surrogate becomes U+FFFD (EF BF BD), as the
// system conversion of UTF-16 text does.
// Ansi: the GBK form; every character GBK cannot hold becomes one "?" (0x3F),
// a surrogate pair counting as one character and a lone surrogate as one.
// An empty text gives no bytes. Never fails. The toolkit-free TextBytes
// does the work.
std::vector<std::uint8_t> MessageBytes(const QString &text, TextEncoding encoding);

} // namespace zub
