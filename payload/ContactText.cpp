#include "ContactText.h"

#include "MailText.h"
#include "PayloadEscapes.h"
#include "PhoneText.h"

#include <algorithm>

namespace zub {

using payload::Trimmed;

ContactFormat FormatOf(const ContactForm &form) {
  const std::string_view name = Trimmed(form.name);
  const bool shortCard = Trimmed(form.organisation).empty() && Trimmed(form.address).empty() &&
                         Trimmed(form.url).empty() && Trimmed(form.note).empty();
  const bool plainName = name.find(',') == std::string_view::npos && !payload::HasLineBreak(name);
  return shortCard && plainName ? ContactFormat::Mecard : ContactFormat::Vcard;
}

std::vector<PayloadProblem> Problems(const ContactForm &form) {
  std::vector<PayloadProblem> problems;
  if (Trimmed(form.name).empty())
    problems.push_back(PayloadProblem::EmptyName);
  if (const auto problem = payload::PhoneNumberProblem(form.phone, false))
    problems.push_back(*problem);
  if (const auto problem = payload::MailAddressProblem(form.email, false))
    problems.push_back(*problem);
  const std::string_view url = Trimmed(form.url);
  if (std::any_of(url.begin(), url.end(),
                  [](char c) { return static_cast<unsigned char>(c) <= ' ' || c == '\x7F'; }) ||
      url.find("\xE3\x80\x80") != std::string_view::npos)
    problems.push_back(PayloadProblem::InvalidUrl);
  return problems;
}

std::string PayloadText(const ContactForm &form) {
  const std::string_view name = Trimmed(form.name);
  const std::string_view phone = Trimmed(form.phone);
  const std::string_view email = Trimmed(form.email);
  if (FormatOf(form) == ContactFormat::Mecard) {
    static constexpr std::string_view kSpecial = "\\;,:";
    std::string text = "MECARD:N:" + payload::BackslashEscaped(name, kSpecial) + ";";
    if (!phone.empty())
      text += "TEL:" + payload::CompactPhoneNumber(phone) + ";";
    if (!email.empty())
      text += "EMAIL:" + payload::BackslashEscaped(email, kSpecial) + ";";
    return text + ";";
  }
  std::string text = "BEGIN:VCARD\nVERSION:3.0\n";
  const auto line = [&text](std::string_view field, std::string_view value) {
    if (!value.empty())
      text.append(field).append(value).append("\n");
  };
  const std::string escapedName = payload::ContentLineEscaped(name);
  line("N:", escapedName);
  line("FN:", escapedName);
  line("ORG:", payload::ContentLineEscaped(Trimmed(form.organisation)));
  line("TEL:", phone);
  line("EMAIL:", payload::ContentLineEscaped(email));
  line("ADR:;;", payload::ContentLineEscaped(Trimmed(form.address)));
  line("URL:", Trimmed(form.url));
  line("NOTE:", payload::ContentLineEscaped(Trimmed(form.note)));
  return text + "END:VCARD";
}

} // namespace zub
