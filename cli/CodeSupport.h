#pragma once

// What the toolkit commands share (compose and the --readable search of
// encode): a message as the scan library's code source, the options it is
// made with, and a text of the library's on one line.
#include "CodeSearch.h"
#include "MessageInput.h"
#include "Module.h"
#include "Options.h"

#include <QString>

#include <string>

namespace zub::cli {

// The message as the code source of the scan library: its text when it was
// typed, else its bytes as they are; kanji mode as the message allows.
CodeSource SourceOf(const Message &message);

// The symbol options of the command line as the scan library takes them.
CodeOptions CodeOptionsOf(const EncodeOptions &options);

// encode --readable: the symbol alone made by MakeReadableCode, the one
// encoding of each candidate. kOk with the symbol to write and, when the
// options were changed, a note saying to what; else kUnreadable or
// kFailed with the note saying why.
// Bounds the scan check by --threads: of the `threads` asked for (the
// option's value, 0 for its default: BatchThreads), `callers` are the
// command's own threads that check codes at once (a batch's, else one);
// the check may run its readers on what is left, and on the callers alone
// when nothing is. So --threads 1 never has two threads at work.
void BoundCheckThreads(int threads, int callers);

ReadableSymbol ReadableSymbolFor(const EncodeOptions &options, const Message &message);

} // namespace zub::cli
