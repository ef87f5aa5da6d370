#include "PhoneText.h"

#include "PayloadEscapes.h"

namespace zub {

namespace payload {

std::optional<PayloadProblem> PhoneNumberProblem(std::string_view number, bool required) {
  number = Trimmed(number);
  if (number.empty())
    return required ? std::optional(PayloadProblem::EmptyPhoneNumber) : std::nullopt;
  bool digit = false;
  for (std::size_t i = 0; i < number.size(); ++i) {
    const char c = number[i];
    if (c >= '0' && c <= '9')
      digit = true;
    else if (!(c == ' ' || c == '-' || c == '.' || c == '(' || c == ')' || c == '*' || c == '#' ||
               (c == '+' && i == 0)))
      return PayloadProblem::InvalidPhoneNumber;
  }
  if (!digit)
    return PayloadProblem::InvalidPhoneNumber;
  return std::nullopt;
}

std::string CompactPhoneNumber(std::string_view number) {
  std::string out;
  for (const char c : Trimmed(number))
    if (c != ' ')
      out += c;
  return out;
}

} // namespace payload

std::vector<PayloadProblem> Problems(const PhoneForm &form) {
  if (const auto problem = payload::PhoneNumberProblem(form.number, true))
    return {*problem};
  return {};
}

std::vector<PayloadProblem> Problems(const SmsForm &form) {
  return Problems(PhoneForm{form.number});
}

std::string PayloadText(const PhoneForm &form) {
  std::string text = "tel:";
  for (const char c : payload::CompactPhoneNumber(form.number))
    text += c == '#' ? std::string("%23") : std::string(1, c);
  return text;
}

std::string PayloadText(const SmsForm &form) {
  return "SMSTO:" + payload::CompactPhoneNumber(form.number) + ":" + form.message;
}

} // namespace zub
