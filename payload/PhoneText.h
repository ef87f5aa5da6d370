#pragma once

// A phone number to call, and a text message to send:
//
//   tel:<number>
//   SMSTO:<number>:<message>
//
// A number is digits, with a + in front for an international one, and may
// be typed with spaces and - . ( ) between them, * and # for service codes.
// It is written without its spaces (a URI holds none); the rest stays as
// typed, but in tel: a # is written %23, since a bare # would end the
// number where a URI's fragment begins. No other escape is needed: no
// character a number may hold means anything else in either text.
//
// The message of SMSTO: is everything after the second colon, colons and
// line breaks included, so it is written exactly as typed, in UTF-8.
//
// Worked examples: the number +86 (10) 1234-5678 is
//
//   tel:+86(10)1234-5678
//
// and the message 到了吗？3:30 见 to 138 0013 8000 is
//
//   SMSTO:13800138000:到了吗？3:30 见

#include "PayloadProblem.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zub {

struct PhoneForm {
  std::string number;
};

struct SmsForm {
  std::string number;
  std::string message; // may be empty
};

// No number, or a number with other characters: EmptyPhoneNumber,
// InvalidPhoneNumber. Spaces around the number do not count.
std::vector<PayloadProblem> Problems(const PhoneForm &form);
std::vector<PayloadProblem> Problems(const SmsForm &form);

std::string PayloadText(const PhoneForm &form);
std::string PayloadText(const SmsForm &form);

namespace payload {

// The problem of a number, if it has one; an empty number has none when
// `required` is false.
std::optional<PayloadProblem> PhoneNumberProblem(std::string_view number, bool required);

// The number without spaces at its ends or between its digits.
std::string CompactPhoneNumber(std::string_view number);

} // namespace payload

} // namespace zub
