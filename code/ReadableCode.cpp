// The one orchestration of a code that scans, below the window and the
// command line: make, check, and search when the check fails.
#include "ReadableCode.h"

namespace zub {

namespace {

// A symbol that stands alone has no logo to move and no stretch to mend:
// only the bytes of the text can change. The first code counts among the
// candidates made and read.
RemedySearch SearchCharsets(QrEncoder &encoder, const CodeSource &source, const MadeCode &first,
                            const std::atomic<bool> *cancel) {
  RemedySearch search;
  search.made = search.read = 1;
  if (!source.text) {
    search.everyKindTried = true; // raw bytes have no other character set
    return search;
  }
  std::vector<CodeOptions> order;
  CodeOptions c = first.options;
  c.encoding = TextEncoding::Utf8;
  c.eci = 0;
  if (first.options.encoding == TextEncoding::Ansi)
    order.push_back(c);
  c.eci = 26;
  if (first.options.eci != 26)
    order.push_back(c);
  SourceMessages messages(source, first);
  for (const CodeOptions &options : order) {
    if (cancel && cancel->load()) {
      search.cancelled = true;
      break;
    }
    MadeCode code = MakeCode(encoder, source, options, messages.of(options), true);
    if (!code.Made())
      continue;
    ++search.made;
    ++search.read;
    search.tried.push_back({options, code.picture.facts().version});
    if (code.Passes()) {
      search.found = std::move(code);
      break;
    }
  }
  search.everyKindTried = !search.found && !search.cancelled;
  return search;
}

} // namespace

ReadableCode MakeReadableCode(QrEncoder &encoder, const CodeSource &source,
                              const CodeOptions &options, const std::atomic<bool> *cancel,
                              int milliseconds) {
  return FinishReadableCode(encoder, source, EncodeCode(encoder, source, options), cancel,
                            milliseconds);
}

ReadableCode FinishReadableCode(QrEncoder &encoder, const CodeSource &source, MadeCode encoded,
                                const std::atomic<bool> *cancel, int milliseconds) {
  ReadableCode made;
  made.first = std::move(encoded);
  if (!made.first.Made())
    return made; // TooLong
  FinishCode(made.first, source, true);
  if (made.first.Passes()) {
    made.verdict = ReadableCode::Verdict::Passes;
    return made;
  }
  if (!made.first.report || !made.first.report->checked) {
    made.verdict = ReadableCode::Verdict::NotChecked;
    return made;
  }
  if (cancel && cancel->load())
    made.search.cancelled = true;
  else if (source.symbolAlone)
    made.search = SearchCharsets(encoder, source, made.first, cancel);
  else
    made.search = FindReadableCode(encoder, source, made.first, cancel, milliseconds);
  made.verdict =
      made.search.found ? ReadableCode::Verdict::Remedied : ReadableCode::Verdict::Unreadable;
  return made;
}

} // namespace zub
