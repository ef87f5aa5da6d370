#pragma once

// The escapes the texts share. Each format's header says which of them it
// uses and where; they work on UTF-8 and leave every byte they do not name
// as it is, so Chinese text passes through unchanged.

#include <string>
#include <string_view>

namespace zub::payload {

// `text` with a backslash before every character that `special` holds:
// BackslashEscaped("a;b", ";") is "a\;b".
std::string BackslashEscaped(std::string_view text, std::string_view special);

// A text value of a vCard or an iCalendar event: "\" "," ";" as "\\" "\,"
// "\;", and each line break (CR LF, LF or CR) as "\n".
std::string ContentLineEscaped(std::string_view text);

// Percent-encoding: each byte other than the unreserved A-Z a-z 0-9 - . _ ~
// and the characters of `keep` as "%" and two upper-case hex digits, so a
// UTF-8 character becomes its bytes ("你" is "%E4%BD%A0").
std::string PercentEncoded(std::string_view text, std::string_view keep = {});

// `text` without the spaces, tabs, line breaks and ideographic spaces
// (U+3000, the Chinese full-width space) at its two ends.
std::string_view Trimmed(std::string_view text);

// Whether `text` holds a line break (LF or CR).
bool HasLineBreak(std::string_view text);

} // namespace zub::payload
