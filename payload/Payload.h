#pragma once

// Every kind of form as one value, for the front ends that let the user
// choose the kind: its problems and its text, by the kind's own functions.

#include "ContactText.h"
#include "EventText.h"
#include "MailText.h"
#include "PhoneText.h"
#include "PlaceText.h"
#include "WifiText.h"

#include <variant>

namespace zub {

using PayloadForm =
    std::variant<WifiForm, ContactForm, PhoneForm, SmsForm, MailForm, PlaceForm, EventForm>;

inline std::vector<PayloadProblem> Problems(const PayloadForm &form) {
  return std::visit([](const auto &f) { return Problems(f); }, form);
}

inline std::string PayloadText(const PayloadForm &form) {
  return std::visit([](const auto &f) { return PayloadText(f); }, form);
}

} // namespace zub
