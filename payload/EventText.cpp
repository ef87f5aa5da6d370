#include "EventText.h"

#include "PayloadEscapes.h"

#include <cstdio>

namespace zub {

namespace {

bool Valid(const EventTime &t) {
  if (t.year < 1 || t.year > 9999 || t.month < 1 || t.month > 12 || t.hour < 0 || t.hour > 23 ||
      t.minute < 0 || t.minute > 59)
    return false;
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (t.year % 4 == 0 && t.year % 100 != 0) || t.year % 400 == 0;
  const int days = kDays[t.month - 1] + (t.month == 2 && leap ? 1 : 0);
  return t.day >= 1 && t.day <= days;
}

std::string Stamp(const EventTime &t) {
  char text[32];
  std::snprintf(text, sizeof text, "%04d%02d%02dT%02d%02d00", t.year, t.month, t.day, t.hour,
                t.minute);
  return text;
}

} // namespace

std::vector<PayloadProblem> Problems(const EventForm &form) {
  std::vector<PayloadProblem> problems;
  if (payload::Trimmed(form.title).empty())
    problems.push_back(PayloadProblem::EmptyEventTitle);
  const bool startValid = Valid(form.start), endValid = Valid(form.end);
  if (!startValid)
    problems.push_back(PayloadProblem::InvalidStart);
  if (!endValid)
    problems.push_back(PayloadProblem::InvalidEnd);
  if (startValid && endValid && form.end < form.start)
    problems.push_back(PayloadProblem::EndBeforeStart);
  return problems;
}

std::string PayloadText(const EventForm &form) {
  std::string text = "BEGIN:VEVENT\n";
  const auto line = [&text](std::string_view field, const std::string &value) {
    if (!value.empty())
      text.append(field).append(value).append("\n");
  };
  line("SUMMARY:", payload::ContentLineEscaped(payload::Trimmed(form.title)));
  line("DTSTART:", Stamp(form.start));
  line("DTEND:", Stamp(form.end));
  line("LOCATION:", payload::ContentLineEscaped(payload::Trimmed(form.location)));
  line("DESCRIPTION:", payload::ContentLineEscaped(payload::Trimmed(form.description)));
  return text + "END:VEVENT";
}

} // namespace zub
