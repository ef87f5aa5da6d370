#include "CodeSupport.h"

#include "Batch.h"
#include "Commands.h"
#include "ReadableCode.h"
#include "ScanCheck.h"
#include "ScanMessages.h"

#include <QThreadPool>

#include <algorithm>

namespace zub::cli {

CodeSource SourceOf(const Message &message) {
  CodeSource source;
  if (message.text)
    source.text = QString::fromStdString(*message.text);
  else
    source.raw = message.bytes;
  source.kanji = message.kanji;
  return source;
}

CodeOptions CodeOptionsOf(const EncodeOptions &options) {
  return {options.version, options.ecLevel, options.mask, options.encoding, options.eci};
}

void BoundCheckThreads(int threads, int callers) {
  const int helpers = BatchThreads(threads) - callers;
  SetCheckHelperThreads(helpers);
  // Qt spreads the conversion of a large picture over a pool of its own
  // while its caller waits: no more threads there than the helpers, one
  // at the least, so --threads 1 keeps to one core.
  QThreadPool::globalInstance()->setMaxThreadCount(std::max(1, helpers));
}

ReadableSymbol ReadableSymbolFor(const EncodeOptions &options, const Message &message) {
  ReadableSymbol answer;
  if (message.tooLong) {
    answer.status = kFailed;
    answer.note = DoesNotFit(message);
    return answer;
  }
  // Only the text matters here: the symbol alone, read at four pixels a
  // module, must give it back on the readers.
  CodeSource source = SourceOf(message);
  source.symbolAlone = true;
  QrEncoder encoder;
  // The message's bytes as reading made them: the text is not converted
  // again.
  const ReadableCode made = FinishReadableCode(
      encoder, source, EncodeCode(encoder, source, CodeOptionsOf(options), message.bytes));
  switch (made.verdict) {
  case ReadableCode::Verdict::TooLong:
    answer.status = kFailed;
    answer.note = DoesNotFit(message, made.first.failure);
    return answer;
  case ReadableCode::Verdict::NotChecked:
    answer.status = kFailed;
    answer.note = NotCheckedMessage(*made.first.report);
    return answer;
  case ReadableCode::Verdict::Unreadable:
    answer.status = kUnreadable;
    answer.note = NothingWrittenMessage(made.first, made.search, false, options.verbose);
    return answer;
  case ReadableCode::Verdict::Remedied:
    answer.note = ChangedMessage(made.first, made.code(), options.verbose);
    break;
  case ReadableCode::Verdict::Passes:
    break;
  }
  answer.symbol = made.code().picture;
  return answer;
}

} // namespace zub::cli
