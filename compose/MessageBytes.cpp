#include "MessageBytes.h"

#include <QSysInfo>

#include <iconv.h>

#include <cerrno>
#include <cstring>

namespace zub {

namespace {

constexpr char32_t kReplacementCharacter = 0xFFFD;
constexpr std::uint8_t kAnsiDefaultChar = '?';

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

std::vector<std::uint8_t> Utf8Bytes(const QString &text) {
  std::vector<std::uint8_t> out;
  out.reserve(static_cast<std::size_t>(text.size()) * 3);
  const qsizetype n = text.size();
  for (qsizetype i = 0; i < n; ++i) {
    const char16_t u = text[i].unicode();
    char32_t c = u;
    if (QChar::isHighSurrogate(u)) {
      if (i + 1 < n && QChar::isLowSurrogate(text[i + 1].unicode())) {
        c = QChar::surrogateToUcs4(u, text[i + 1].unicode());
        ++i;
      } else {
        c = kReplacementCharacter;
      }
    } else if (QChar::isLowSurrogate(u)) {
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
std::vector<std::uint8_t> AnsiBytes(const QString &text) {
  std::vector<std::uint8_t> out;
  if (text.isEmpty())
    return out;
  const char *from = QSysInfo::ByteOrder == QSysInfo::LittleEndian ? "UTF-16LE" : "UTF-16BE";
  iconv_t cd = iconv_open("CP936", from);
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    // Without the converter only ASCII is certain.
    for (QChar ch : text)
      out.push_back(ch.unicode() < 0x80 ? static_cast<std::uint8_t>(ch.unicode())
                                        : kAnsiDefaultChar);
    return out;
  }

  // GBK needs at most two bytes per UTF-16 code unit.
  out.resize(static_cast<std::size_t>(text.size()) * 2 + 16);
  char *in = const_cast<char *>(reinterpret_cast<const char *>(text.utf16()));
  std::size_t inLeft = static_cast<std::size_t>(text.size()) * sizeof(char16_t);
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
    if (QChar::isHighSurrogate(unit) && inLeft >= 2 * sizeof(char16_t)) {
      char16_t next;
      std::memcpy(&next, in + sizeof(char16_t), sizeof next);
      if (QChar::isLowSurrogate(next))
        skip = 2 * sizeof(char16_t);
    }
    in += skip;
    inLeft -= skip;
  }
  iconv_close(cd);
  out.resize(written);
  return out;
}

} // namespace

std::vector<std::uint8_t> MessageBytes(const QString &text, TextEncoding encoding) {
  return encoding == TextEncoding::Utf8 ? Utf8Bytes(text) : AnsiBytes(text);
}

} // namespace zub
