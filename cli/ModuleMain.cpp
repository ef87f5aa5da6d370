// The toolkit part of zubqr, loaded on first use: compose, read and the
// --readable search of encode. Its one export hands out the calls.
#include "Commands.h"
#include "Module.h"
#include "ScanMessages.h"
#include "ScanRemedy.h"

#include <QCoreApplication>
#include <QString>

namespace zub::cli {

namespace {

ReadableSymbol FindReadable(const EncodeOptions &options, const Message &message) {
  // Only the text matters here: the symbol alone, read at four pixels a
  // module, must give it back on both readers.
  CodeSource source;
  if (message.text)
    source.text = QString::fromStdString(*message.text);
  else
    source.raw = message.bytes;
  source.kanji = message.kanji;
  clsQRCode encoder;
  MadeCode first;
  const RemedySearch search = FindReadableSymbol(
      encoder, source,
      {options.version, options.ecLevel, options.mask, options.encoding, options.eci}, first);
  ReadableSymbol answer;
  if (first.report && !first.report->checked) {
    answer.status = kFailed;
    answer.note = NotCheckedMessage(*first.report);
    return answer;
  }
  if (first.Passes())
    return answer; // the symbol asked for

  if (!search.found) {
    answer.status = kUnreadable;
    answer.note = NothingWrittenMessage(first, search, false, options.verbose);
    return answer;
  }
  answer.note = ChangedMessage(first, *search.found, options.verbose);
  answer.symbol = encoder.MakeSymbol(
      search.found->message.data(), static_cast<int>(search.found->message.size()),
      search.found->options.version, search.found->options.ecLevel, search.found->options.mask,
      source.kanji, search.found->options.eci);
  return answer;
}

// Reading and writing pictures needs Qt's image plugins, never a display.
template <int (*Command)(const std::vector<std::string> &)>
int WithApplication(const std::vector<std::string> &args) {
  if (QCoreApplication::instance())
    return Command(args);
  static int argc = 1;
  static char name[] = "zubqr";
  static char *argv[] = {name, nullptr};
  QCoreApplication app(argc, argv);
  return Command(args);
}

const ModuleCalls kCalls = {SetStandardStreamsClosed, WithApplication<Compose>,
                            WithApplication<Read>, FindReadable};

} // namespace

} // namespace zub::cli

extern "C" __attribute__((visibility("default"))) const zub::cli::ModuleCalls *
zubqr_module_calls() {
  return &zub::cli::kCalls;
}
