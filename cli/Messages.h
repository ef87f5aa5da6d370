#pragma once

// The language of zubqr's messages: Chinese under a zh_* locale, English
// otherwise, one language a message; and what the user typed, as a message
// shows it.
#include "Language.h"

#include <string>
#include <string_view>

namespace zub::cli {

// The language the locale asks for, as setlocale resolves LC_MESSAGES:
// LC_ALL, else LC_MESSAGES, else LANG, the first that is set and not
// empty. "zh", "zh_CN.UTF-8", "zh_TW" and the like are Chinese; anything
// else, and nothing set, English. Read from the environment, so a Chinese
// locale that is not installed still speaks Chinese; once, at the first
// message.
Language MessageLanguage();

// `chinese` or `english`, as MessageLanguage says.
std::string Say(const char *chinese, const char *english);

// `text` for a terminal: control characters (C0, DEL and, in UTF-8, C1:
// U+0080 to U+009F) shown as escapes, so that a text cannot move the
// cursor, clear the screen or retitle the window, and a text with line
// breaks stays on one line; the backslash is doubled so that the escapes
// are unambiguous. Everything else, "©" and the no-break space included,
// is shown as it is.
std::string ForTerminal(std::string_view text);

// True when `text` holds a control character ForTerminal would escape
// (other than the backslash).
bool HasControlCharacter(std::string_view text);

// Something the user gave (a file's name, an option's value) as a message
// on standard error shows it: through ForTerminal when standard error is a
// terminal, else as it is.
std::string Shown(std::string_view given);

// Shown in the language's quotes: “given” or 'given'.
std::string Quoted(std::string_view given);

// The system's error `number` in the locale's language: the system's own
// description in English; in Chinese, words for the common ones, else the
// number.
std::string SystemError(int number);

} // namespace zub::cli
