#pragma once

// An event for the calendar, as an iCalendar event on its own:
//
//   BEGIN:VEVENT
//   SUMMARY:<title>
//   DTSTART:<yyyymmdd>T<hhmmss>
//   DTEND:<yyyymmdd>T<hhmmss>
//   LOCATION:<place>
//   DESCRIPTION:<description>
//   END:VEVENT
//
// Phone readers take the event without a calendar around it (they look for
// BEGIN:VEVENT wherever it is), so none is written: it would only cost
// bytes. The times are the wall-clock times as typed, with no time zone
// (iCalendar's floating time): the event is at nine wherever the phone is.
// Empty fields are left out; the lines end in a line feed alone and are not
// folded, as in a contact card (ContactText.h).
//
// Escapes: in the title, the place and the description each of \ ; , gets
// a backslash before it and each line break is written \n, as iCalendar's
// text values want. The title, place and description lose the spaces at
// their ends. Everything is UTF-8.
//
// Worked example: 年会; 抽奖 from 2026-12-10 18:00 to 21:30 at 3, Park Road
// is
//
//   BEGIN:VEVENT
//   SUMMARY:年会\; 抽奖
//   DTSTART:20261210T180000
//   DTEND:20261210T213000
//   LOCATION:3\, Park Road
//   END:VEVENT

#include "PayloadProblem.h"

#include <string>
#include <vector>

namespace zub {

// A date and a time of day to the minute, as typed: no time zone.
struct EventTime {
  int year = 2000, month = 1, day = 1, hour = 0, minute = 0;

  auto operator<=>(const EventTime &) const = default;
};

struct EventForm {
  std::string title; // required
  EventTime start, end;
  std::string location;
  std::string description;
};

// No title, a start or end that is no date of the calendar (years 1 to
// 9999), an end before the start. An end equal to the start is an event
// at a moment, and is fine.
std::vector<PayloadProblem> Problems(const EventForm &form);

std::string PayloadText(const EventForm &form);

} // namespace zub
