#pragma once

#include "MadeCode.h"

#include <atomic>
#include <optional>
#include <vector>

namespace zub {

// The outcome of a search for a code that scans.
struct RemedySearch {
  std::optional<MadeCode> found; // the first candidate that passes
  int made = 0;                  // candidates made and counted
  int read = 0;                  // of them, candidates the readers ran on
  bool cancelled = false;
  bool outOfTime = false; // stopped by its time budget
  // Every kind of change the search had in mind was tried (each at least
  // once): only then may "nothing helps" be said. False when a bound, the
  // time or a cancel stopped it first.
  bool everyKindTried = false;
  // A candidate was made whose modules are large enough for a phone; when
  // none was (and the first code's are too small), the text is too long
  // for any code a phone reads on this picture.
  bool largeModulesMade = false;
  // Every candidate made, in order: the options asked for and the version
  // made (larger than asked where the level did not fit the user's version).
  struct Tried {
    CodeOptions asked;
    int version = 0;
  };
  std::vector<Tried> tried;
};

// `first`'s modules are too small for a phone and so were those of every
// candidate `search` made, having tried every kind of change: the text is
// too long for any code a phone reads on this picture, and only a shorter
// one helps (the logo does not change the modules' size).
bool TooLongForPhones(const MadeCode &first, const RemedySearch &search);

// Upper bounds of one search: candidates made, and candidates read.
inline constexpr int kMaxCandidates = 48;
inline constexpr int kMaxCandidatesRead = 12;
// And of its time: a reader that fails takes some 50 ms to give up, and
// the window waits for the answer. No candidate starts after it; the first
// one read always is.
inline constexpr int kSearchMilliseconds = 900;
// A search bounded only by its counts: what it offers then does not depend
// on how busy the machine is (the command line, whose output must be the
// same on every run, and tests that judge what is found).
inline constexpr int kNoTimeBudget = -1;

// Looks for a code of `source` that passes the scan check, starting from
// `first`, which does not. Fixed order, over the character sets to try
// (the user's; for a text that comes back wrong, UTF-8 instead of ANSI and
// then UTF-8 with ECI 26):
//   1. each other character set at the same size and level;
//   2. in each character set, the smallest version that fits at the user's
//      level, then at each higher and then each lower level (a version the
//      user fixed may be far larger than the text needs, and a smaller one
//      has larger modules); the user's version at each higher level; up to
//      four versions spread between the smallest that fits and the user's;
//   3. in each character set, larger versions, the user's level first.
// Candidates whose damage count already fails, or whose modules are too
// small for a phone, are skipped without running the readers. At most kMaxCandidates are made and
// kMaxCandidatesRead read. Stops at `cancel` (checked between candidates) and, unless it is
// kNoTimeBudget, after `milliseconds`.
RemedySearch FindReadableCode(QrEncoder &encoder, const CodeSource &source, const MadeCode &first,
                              const std::atomic<bool> *cancel = nullptr,
                              int milliseconds = kSearchMilliseconds);

} // namespace zub
