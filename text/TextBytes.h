#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zub {

// How the text of a message becomes the bytes the encoder receives.
//   Ansi: code page 936 (GBK), the code page of the program's Chinese texts.
//   Utf8: UTF-8.
enum class TextEncoding { Ansi, Utf8 };

// UTF-8 bytes as UTF-16 text. Each malformed sequence becomes one U+FFFD and
// a byte order mark at the start is dropped, the way Qt's own conversion does
// it, so a text read here gives the same message bytes as one read through
// QString::fromUtf8.
std::u16string Utf16FromUtf8(std::string_view utf8);

// The message bytes of `text` in `encoding`.
//
// Utf8: the UTF-8 form; a lone surrogate becomes U+FFFD (EF BF BD), as the
// system conversion of UTF-16 text does.
// Ansi: the GBK form; every character GBK cannot hold becomes one "?" (0x3F),
// a surrogate pair counting as one character and a lone surrogate as one.
// An empty text gives no bytes. Never fails. Needs no toolkit.
std::vector<std::uint8_t> TextBytes(std::u16string_view text, TextEncoding encoding);

} // namespace zub
