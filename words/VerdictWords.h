#pragma once

// The scan check's verdict in the window's words. The first lines say what
// someone scanning the code will meet and what the program recommends,
// naming the change as the option lists name it; the technical causes
// (which reader, which block, which pattern) are the folded details.

#include "CodeSearch.h"
#include "ScanCheck.h"

#include <QString>

namespace zub {

// A warning as the window shows it.
struct VerdictWords {
  QString text;    // one or two lines in everyday words, no reader or codeword named
  QString details; // the technical causes, one a line
};

// The lists that differ between `from` and `to`, in the lists' words:
// "纠错等级“Q - 25%”、文字编码“UTF-8（注明编码）”".
QString OptionChangeWords(const CodeOptions &from, const CodeOptions &to);

// The offer of `found` in place of `first`, which fails the check.
VerdictWords RemedyOfferWords(const MadeCode &first, const MadeCode &found);

// `first` fails and the search found nothing that passes; `withLogo` when
// the code carries a logo (leaving it out is then advised).
VerdictWords NoRemedyWords(const MadeCode &first, const RemedySearch &search, bool withLogo);

// The code could not be checked (the readers' module is missing or broken).
VerdictWords NotCheckedWords(const ScanReport &report);

// The short note after a change to `found`: "已改用推荐设置：纠错等级“Q - 25%”。".
QString ChangeNote(const MadeCode &first, const MadeCode &found);

// The buttons of the offer and their meaning: the first takes the offered
// code, the second (and Esc) keeps the one shown.
inline constexpr const char *kTakeOfferButton = "改用推荐设置";
inline constexpr const char *kKeepCodeButton = "保留当前二维码";

} // namespace zub
