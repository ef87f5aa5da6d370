#pragma once

// The scan check's verdict as zubqr says it, in the locale's language: a
// plain first line (what someone scanning meets, what was done or could be
// changed), then with --verbose one line a technical cause.
#include "CodeSearch.h"
#include "ScanCheck.h"

#include <string>

namespace zub::cli {

// A code written as asked that fails the check: a warning.
std::string ScanWarning(const ScanReport &report, bool verbose);

// The check could not run: the readers' module and why.
std::string NotCheckedMessage(const ScanReport &report);

// The check ran without OpenCV's WeChat engine: that, why and which
// readers checked instead, one line; empty when all three ran.
std::string WithoutWechatMessage(const ScanReport &report);

// --readable wrote `found` in place of `first`: what changed and why.
std::string ChangedMessage(const MadeCode &first, const MadeCode &found, bool verbose);

// --readable wrote nothing: that, why, and what the user could change (a
// shorter text; no logo when `withLogo`).
std::string NothingWrittenMessage(const MadeCode &first, const RemedySearch &search, bool withLogo,
                                  bool verbose);

} // namespace zub::cli
