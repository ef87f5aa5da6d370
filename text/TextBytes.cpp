#include "TextBytes.h"

#include <iconv.h>

#include <bit>
#include <cerrno>
#include <cstring>

namespace zub {

namespace {

constexpr char32_t kReplacementCharacter = 0xFFFD;
constexpr std::uint8_t kAnsiDefaultChar = '?';

bool IsHighSurrogate(char32_t u) {
  return u >= 0xD800 && u <= 0xDBFF;
}
bool IsLowSurrogate(char32_t u) {
  return u >= 0xDC00 && u <= 0xDFFF;
}

void AppendUtf8(std::vector<std::uint8_t> &out, char32_t c) {
  auto put = [&out](char32_t v) { out.push_back(static_cast<std::uint8_t>(v)); };
  if (c < 0x80) {
    put(c);
  } else if (c < 0x800) {
    put(0xC0 | (c >> 6));
    put(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    put(0xE0 | (c >> 12));
    put(0x80 | ((c >> 6) & 0x3F));
    put(0x80 | (c & 0x3F));
  } else {
    put(0xF0 | (c >> 18));
    put(0x80 | ((c >> 12) & 0x3F));
    put(0x80 | ((c >> 6) & 0x3F));
    put(0x80 | (c & 0x3F));
  }
}

std::vector<std::uint8_t> Utf8Bytes(std::u16string_view text) {
  std::vector<std::uint8_t> out;
  out.reserve(text.size() * 3);
  const std::size_t n = text.size();
  for (std::size_t i = 0; i < n; ++i) {
    const char16_t u = text[i];
    char32_t c = u;
    if (IsHighSurrogate(u)) {
      if (i + 1 < n && IsLowSurrogate(text[i + 1])) {
        c = 0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) + (text[i + 1] - 0xDC00u);
        ++i;
      } else {
        c = kReplacementCharacter;
      }
    } else if (IsLowSurrogate(u)) {
      c = kReplacementCharacter;
    }
    AppendUtf8(out, c);
  }
  return out;
}

// GBK through glibc's iconv, one "?" for whatever it cannot convert. The
// input is the text's UTF-16 code units as they lie in memory, so a
// character iconv refuses is skipped by exactly its code units: two for a
// valid surrogate pair, one otherwise (a lone surrogate is refused too).
std::vector<std::uint8_t> AnsiBytes(std::u16string_view text) {
  std::vector<std::uint8_t> out;
  if (text.empty())
    return out;
  const char *from = std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";
  iconv_t cd = iconv_open("CP936", from);
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    // Without the converter only ASCII is certain.
    for (char16_t ch : text)
      out.push_back(ch < 0x80 ? static_cast<std::uint8_t>(ch) : kAnsiDefaultChar);
    return out;
  }

  // GBK needs at most two bytes per UTF-16 code unit.
  out.resize(text.size() * 2 + 16);
  char *in = const_cast<char *>(reinterpret_cast<const char *>(text.data()));
  std::size_t inLeft = text.size() * sizeof(char16_t);
  std::size_t written = 0;
  while (inLeft > 0) {
    char *dst = reinterpret_cast<char *>(out.data() + written);
    std::size_t outLeft = out.size() - written;
    const std::size_t result = iconv(cd, &in, &inLeft, &dst, &outLeft);
    written = out.size() - outLeft;
    if (result != static_cast<std::size_t>(-1))
      break;
    if (errno == E2BIG) {
      out.resize(out.size() * 2);
      continue;
    }
    // EILSEQ (no GBK form, or a lone surrogate) or EINVAL (a high surrogate
    // at the very end): one default character for one character of input.
    if (written == out.size())
      out.resize(out.size() * 2);
    out[written++] = kAnsiDefaultChar;
    char16_t unit;
    std::memcpy(&unit, in, sizeof unit);
    std::size_t skip = sizeof(char16_t);
    if (IsHighSurrogate(unit) && inLeft >= 2 * sizeof(char16_t)) {
      char16_t next;
      std::memcpy(&next, in + sizeof(char16_t), sizeof next);
      if (IsLowSurrogate(next))
        skip = 2 * sizeof(char16_t);
    }
    in += skip;
    inLeft -= skip;
  }
  iconv_close(cd);
  out.resize(written);
  return out;
}

void AppendUtf16(std::u16string &out, char32_t c) {
  if (c < 0x10000) {
    out.push_back(static_cast<char16_t>(c));
  } else {
    out.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
  }
}

} // namespace

std::u16string Utf16FromUtf8(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  const auto *p = reinterpret_cast<const unsigned char *>(utf8.data());
  const auto *end = p + utf8.size();
  // Qt drops a byte order mark at the very start.
  if (utf8.starts_with("\xEF\xBB\xBF"))
    p += 3;
  while (p < end) {
    const unsigned char b = *p;
    if (b < 0x80) {
      out.push_back(b);
      ++p;
      continue;
    }
    int need = 0;
    char32_t c = 0;
    char32_t min = 0;
    if (b >= 0xC2 && b <= 0xDF) {
      need = 1, c = b & 0x1F, min = 0x80;
    } else if (b >= 0xE0 && b <= 0xEF) {
      need = 2, c = b & 0x0F, min = 0x800;
    } else if (b >= 0xF0 && b <= 0xF4) {
      need = 3, c = b & 0x07, min = 0x10000;
    } else {
      out.push_back(static_cast<char16_t>(kReplacementCharacter));
      ++p;
      continue;
    }
    // The longest start of a valid sequence is one malformed sequence.
    const unsigned char *q = p + 1;
    bool ok = true;
    for (int k = 0; k < need; ++k, ++q) {
      if (q >= end || (*q & 0xC0) != 0x80) {
        ok = false;
        break;
      }
      c = (c << 6) | (*q & 0x3F);
    }
    if (ok && (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)))
      ok = false;
    if (!ok) {
      out.push_back(static_cast<char16_t>(kReplacementCharacter));
      ++p;
      continue;
    }
    AppendUtf16(out, c);
    p = q;
  }
  return out;
}

std::vector<std::uint8_t> TextBytes(std::u16string_view text, TextEncoding encoding) {
  return encoding == TextEncoding::Utf8 ? Utf8Bytes(text) : AnsiBytes(text);
}

} // namespace zub
