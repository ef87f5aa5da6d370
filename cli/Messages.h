#pragma once

// The language of zubqr's messages: Chinese under a zh_* locale, English
// otherwise, one language a message.
#include "Language.h"

#include <string>

namespace zub::cli {

// The language the locale asks for, as setlocale resolves LC_MESSAGES:
// LC_ALL, else LC_MESSAGES, else LANG, the first that is set and not
// empty. "zh", "zh_CN.UTF-8", "zh_TW" and the like are Chinese; anything
// else, and nothing set, English. Read from the environment, so a Chinese
// locale that is not installed still speaks Chinese.
Language MessageLanguage();

// `chinese` or `english`, as MessageLanguage says.
std::string Say(const char *chinese, const char *english);

} // namespace zub::cli
