#include "MailText.h"

#include "PayloadEscapes.h"

#include <algorithm>

namespace zub {

namespace payload {

std::optional<PayloadProblem> MailAddressProblem(std::string_view address, bool required) {
  address = Trimmed(address);
  if (address.empty())
    return required ? std::optional(PayloadProblem::EmptyMailAddress) : std::nullopt;
  const std::size_t at = address.find('@');
  const bool oneAt = at != std::string_view::npos && at > 0 && at + 1 < address.size() &&
                     address.find('@', at + 1) == std::string_view::npos;
  const bool blank = std::any_of(address.begin(), address.end(), [](char c) {
    return static_cast<unsigned char>(c) <= ' ' || c == '\x7F';
  });
  // The ideographic space, typed by a Chinese input method's space bar.
  if (!oneAt || blank || address.find("\xE3\x80\x80") != std::string_view::npos)
    return PayloadProblem::InvalidMailAddress;
  return std::nullopt;
}

} // namespace payload

std::vector<PayloadProblem> Problems(const MailForm &form) {
  if (const auto problem = payload::MailAddressProblem(form.address, true))
    return {*problem};
  return {};
}

std::string PayloadText(const MailForm &form) {
  std::string text = "mailto:" + payload::PercentEncoded(payload::Trimmed(form.address), "@");
  char separator = '?';
  if (!form.subject.empty()) {
    text += separator + std::string("subject=") + payload::PercentEncoded(form.subject);
    separator = '&';
  }
  if (!form.body.empty()) {
    std::string body;
    for (std::size_t i = 0; i < form.body.size(); ++i) {
      const char c = form.body[i];
      if (c == '\r' || c == '\n') {
        if (c == '\r' && i + 1 < form.body.size() && form.body[i + 1] == '\n')
          ++i;
        body += "\r\n";
      } else {
        body += c;
      }
    }
    text += separator + std::string("body=") + payload::PercentEncoded(body);
  }
  return text;
}

} // namespace zub
