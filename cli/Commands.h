#pragma once

#include "ExitStatus.h"
#include "MessageInput.h"
#include "Options.h"
#include "Picture.h"
#include "QrEncoder.h"

#include <string>
#include <vector>

namespace zub::cli {

// Each command takes the arguments after its name and returns the exit
// status. Compose and Read run in the toolkit module (Module.h).
int Encode(const std::vector<std::string> &args);
int Compose(const std::vector<std::string> &args);
int Read(const std::vector<std::string> &args);

// Parses a command's arguments against `rules`. Returns -1 to go on, or the
// exit status when the command is done: help or the version printed (kOk),
// a malformed command line told on standard error (kUsage, UsageError).
int ParseCommand(const char *command, const char *usage, const std::vector<std::string> &args,
                 const std::vector<OptionRule> &rules, ParsedArgs &parsed);

// The same for an encoding command, finishing `options` too.
int ParseEncodeCommand(const char *command, const char *usage, const std::vector<std::string> &args,
                       std::vector<OptionRule> rules, EncodeOptions &options);

// A malformed command line: on standard error two lines, the reason and
// where to find the usage ("zubqr COMMAND --help"); returns kUsage. An
// empty `command` is the program's own line, before any command.
int UsageError(const char *command, const std::string &error);

// Why `message` does not fit a symbol, on one line: reading stopped past
// what any symbol holds, or the encoder made none of the version and level
// its `failure` names.
std::string DoesNotFit(const Message &message, const EncodeFailure &failure = {});

// Encodes `message` by the options. False with `error` one line saying why
// it does not fit (DoesNotFit).
bool EncodeMessage(const EncodeOptions &options, const Message &message, Picture &symbol,
                   std::string &error);

} // namespace zub::cli
