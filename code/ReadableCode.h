#pragma once

#include "CodeSearch.h"

#include <atomic>

namespace zub {

// "Make a readable code": what the window and both commands of zubqr call to
// turn a message into a code and judge it, searching other options when it
// does not scan.
struct ReadableCode {
  enum class Verdict {
    TooLong,    // the message does not fit the options: nothing was made,
                // and first.failure says why and what would fit
    Passes,     // the code of the options asked for scans
    NotChecked, // the readers could not be run: the code is not judged
    Remedied,   // it does not scan, the code of other options does
    Unreadable, // it does not scan, and no candidate tried does (or the
                // search was cancelled)
  };
  Verdict verdict = Verdict::TooLong;
  MadeCode first;      // the code of the options asked for, judged
  RemedySearch search; // the candidates tried when `first` does not scan

  // The code to write: the one found by the search, else the first.
  const MadeCode &code() const { return search.found ? *search.found : first; }
  // Whether the search changed the options (code() then is not first).
  bool changed() const { return search.found.has_value(); }
};

// Makes the code of `source` with `options` and checks it; when it does
// not scan, searches for options that do (FindReadableCode; for a source
// whose symbol stands alone only the character set changes: UTF-8 for
// ANSI, then UTF-8 with ECI 26). Every candidate's message is encoded once.
// `cancel`, when set before the search or between candidates, stops it;
// so does `milliseconds` (FindReadableCode's time budget) unless it is
// kNoTimeBudget.
ReadableCode MakeReadableCode(QrEncoder &encoder, const CodeSource &source,
                              const CodeOptions &options, const std::atomic<bool> *cancel = nullptr,
                              int milliseconds = kSearchMilliseconds);

// The same from the options' code already encoded (EncodeCode): a front end
// that must know whether the message fits before it loads the logo does
// not encode it again.
ReadableCode FinishReadableCode(QrEncoder &encoder, const CodeSource &source, MadeCode encoded,
                                const std::atomic<bool> *cancel = nullptr,
                                int milliseconds = kSearchMilliseconds);

} // namespace zub
