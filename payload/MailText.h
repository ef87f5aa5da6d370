#pragma once

// A mail to write, as a mailto: address with its subject and body:
//
//   mailto:<address>?subject=<subject>&body=<body>
//
// Each part left empty is left out ("mailto:<address>?body=<body>").
//
// Escapes: the address, the subject and the body are percent-encoded:
// every byte other than A-Z a-z 0-9 - . _ ~ (and the address's @) becomes
// "%" and two hex digits, so & = ? # % + and spaces cannot end or change a
// part, and a Chinese character becomes the %-form of its UTF-8 bytes.
// A "+" is encoded too, since many readers take a bare one for a space. A
// line break of the body, however typed, is written %0D%0A, as mail wants
// it.
//
// Worked example: to li+lei@example.com, the subject 你好 & "hi" and the
// body a=1<line break>b is
//
//   mailto:li%2Blei@example.com?subject=%E4%BD%A0%E5%A5%BD%20%26%20%22hi%22&body=a%3D1%0D%0Ab

#include "PayloadProblem.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zub {

struct MailForm {
  std::string address;
  std::string subject; // may be empty
  std::string body;    // may be empty
};

// No address, or one that is not a mail address: EmptyMailAddress,
// InvalidMailAddress. Spaces around the address do not count.
std::vector<PayloadProblem> Problems(const MailForm &form);

std::string PayloadText(const MailForm &form);

namespace payload {

// The problem of a mail address, if it has one: it needs one @ with text on
// both sides and no space or control character. An empty address has
// none when `required` is false.
std::optional<PayloadProblem> MailAddressProblem(std::string_view address, bool required);

} // namespace payload

} // namespace zub
