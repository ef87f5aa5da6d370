#pragma once

#include <QString>

#include <cstdint>
#include <vector>

namespace zub {

// How the text of a message becomes the bytes the encoder receives.
//   Ansi: code page 936 (GBK), the code page of the program's Chinese texts.
//   Utf8: UTF-8.
enum class TextEncoding { Ansi, Utf8 };

// The message bytes of `text` in `encoding`.
//
// Utf8: the UTF-8 form; a lone surrogate becomes U+FFFD (EF BF BD), as the
// system conversion of UTF-16 text does.
// Ansi: the GBK form; every character GBK cannot hold becomes one "?" (0x3F),
// a surrogate pair counting as one character and a lone surrogate as one.
// An empty text gives no bytes. Never fails.
std::vector<std::uint8_t> MessageBytes(const QString &text, TextEncoding encoding);

} // namespace zub
