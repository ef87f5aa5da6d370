#include "Messages.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace zub::cli {

namespace {

bool NamesChinese(const char *locale) {
  return std::strncmp(locale, "zh", 2) == 0 &&
         (locale[2] == '\0' || locale[2] == '_' || locale[2] == '.' || locale[2] == '@');
}

// U+0080..U+009F, two bytes in UTF-8: C2 80 to C2 9F.
bool C1At(std::string_view text, std::size_t i) {
  return static_cast<unsigned char>(text[i]) == 0xc2 && i + 1 < text.size() &&
         (static_cast<unsigned char>(text[i + 1]) & 0xe0) == 0x80;
}

} // namespace

Language MessageLanguage() {
  // Once: a batch asks for every line it refuses.
  static const Language language = [] {
    for (const char *variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
      const char *value = std::getenv(variable);
      if (value && *value)
        return NamesChinese(value) ? Language::Chinese : Language::English;
    }
    return Language::English;
  }();
  return language;
}

std::string Say(const char *chinese, const char *english) {
  return MessageLanguage() == Language::Chinese ? chinese : english;
}

std::string ForTerminal(std::string_view text) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c < 0x20 || c == 0x7f) {
      out += "\\x";
      out += digits[c >> 4];
      out += digits[c & 15];
    } else if (C1At(text, i)) {
      const auto code = static_cast<unsigned char>(text[++i]);
      out += "\\u00";
      out += digits[code >> 4];
      out += digits[code & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

bool HasControlCharacter(std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x20 || c == 0x7f || C1At(text, i))
      return true;
  }
  return false;
}

std::string Shown(std::string_view given) {
  return ::isatty(STDERR_FILENO) == 1 ? ForTerminal(given) : std::string(given);
}

std::string SystemError(int number) {
  if (MessageLanguage() == Language::English) {
    const char *description = strerrordesc_np(number);
    return description ? description : "unknown error " + std::to_string(number);
  }
  switch (number) {
  case ENOENT:
    return "找不到这个文件";
  case EACCES:
  case EPERM:
    return "没有权限";
  case EISDIR:
    return "这是一个文件夹";
  case ENOSPC:
    return "磁盘空间不足";
  case EDQUOT:
    return "超出了磁盘配额";
  case EROFS:
    return "磁盘是只读的";
  case EIO:
    return "磁盘读写出错";
  case EPIPE:
    return "另一端已经关闭";
  case EBADF:
    return "它已关闭";
  case ENAMETOOLONG:
    return "文件名太长";
  case EFBIG:
    return "文件超出了允许的大小";
  default:
    return "系统错误（错误号 " + std::to_string(number) + "）";
  }
}

std::string Quoted(std::string_view given) {
  return Say("“", "'") + Shown(given) + Say("”", "'");
}

} // namespace zub::cli
