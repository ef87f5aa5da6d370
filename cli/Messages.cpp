#include "Messages.h"

#include <cstdlib>
#include <cstring>

namespace zub::cli {

namespace {

bool NamesChinese(const char *locale) {
  return std::strncmp(locale, "zh", 2) == 0 &&
         (locale[2] == '\0' || locale[2] == '_' || locale[2] == '.' || locale[2] == '@');
}

} // namespace

Language MessageLanguage() {
  for (const char *variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char *value = std::getenv(variable);
    if (value && *value)
      return NamesChinese(value) ? Language::Chinese : Language::English;
  }
  return Language::English;
}

std::string Say(const char *chinese, const char *english) {
  return MessageLanguage() == Language::Chinese ? chinese : english;
}

} // namespace zub::cli
