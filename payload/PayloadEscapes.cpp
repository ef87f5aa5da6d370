#include "PayloadEscapes.h"

namespace zub::payload {

std::string BackslashEscaped(std::string_view text, std::string_view special) {
  std::string out;
  out.reserve(text.size() + 8);
  for (const char c : text) {
    if (special.find(c) != std::string_view::npos)
      out += '\\';
    out += c;
  }
  return out;
}

std::string ContentLineEscaped(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 8);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      // CR LF is one line break, as a lone CR or LF is.
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
        ++i;
      out += "\\n";
      continue;
    }
    if (c == '\\' || c == ',' || c == ';')
      out += '\\';
    out += c;
  }
  return out;
}

std::string PercentEncoded(std::string_view text, std::string_view keep) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size() * 3);
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    const bool unreserved = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                            (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' || c == '~';
    if (unreserved || keep.find(c) != std::string_view::npos) {
      out += c;
    } else {
      out += '%';
      out += kHex[byte >> 4];
      out += kHex[byte & 0x0F];
    }
  }
  return out;
}

std::string_view Trimmed(std::string_view text) {
  static constexpr std::string_view kIdeographicSpace = "\xE3\x80\x80";
  for (;;) {
    if (!text.empty() && (text.front() == ' ' || text.front() == '\t' || text.front() == '\r' ||
                          text.front() == '\n'))
      text.remove_prefix(1);
    else if (text.starts_with(kIdeographicSpace))
      text.remove_prefix(kIdeographicSpace.size());
    else
      break;
  }
  for (;;) {
    if (!text.empty() &&
        (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' || text.back() == '\n'))
      text.remove_suffix(1);
    else if (text.ends_with(kIdeographicSpace))
      text.remove_suffix(kIdeographicSpace.size());
    else
      break;
  }
  return text;
}

bool HasLineBreak(std::string_view text) {
  return text.find_first_of("\r\n") != std::string_view::npos;
}

} // namespace zub::payload
