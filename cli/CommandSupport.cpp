// What every command shares: parsing its line, and the message's symbol.
#include "ArgumentParsing.h"
#include "Commands.h"
#include "LevelLetter.h"
#include "Messages.h"
#include "PayloadOptions.h"
#include "StandardStreams.h"
#include "Usage.h"

#include <iostream>

namespace zub::cli {

int UsageError(const char *command, const std::string &error) {
  // The whole help would bury the one line that matters; it is a command
  // away.
  const std::string who = *command ? std::string("zubqr ") + command : std::string("zubqr");
  std::cerr << who << ": " << error << "\n"
            << Say("请运行“", "Try '") << who << " --help"
            << Say("”查看用法。", "' for more information.") << "\n";
  return kUsage;
}

int ParseCommand(const char *command, const char *usage, const std::vector<std::string> &args,
                 const std::vector<OptionRule> &rules, ParsedArgs &parsed) {
  std::string error;
  if (!ParseArgs(args, rules, parsed, error))
    return UsageError(command, error);
  const std::string who = std::string("zubqr ") + command;
  if (parsed.help)
    return PrintOrFail(who.c_str(), usage);
  if (parsed.programVersion)
    return PrintOrFail(who.c_str(), std::string(ProgramVersion()) + "\n");
  return -1;
}

int ParseEncodeCommand(const char *command, const char *usage, const std::vector<std::string> &args,
                       std::vector<OptionRule> rules, EncodeOptions &options) {
  const std::vector<OptionRule> shared = EncodeOptionRules(options);
  rules.insert(rules.begin(), shared.begin(), shared.end());
  PayloadRequest payload;
  const std::vector<OptionRule> forms = PayloadOptionRules(payload);
  rules.insert(rules.end(), forms.begin(), forms.end());
  ParsedArgs parsed;
  if (const int done = ParseCommand(command, usage, args, rules, parsed); done >= 0)
    return done;
  std::string error;
  if (!FinishPayloadOptions(payload, parsed, options, error) ||
      !FinishEncodeOptions(options, parsed, error))
    return UsageError(command, error);
  return -1;
}

std::string DoesNotFit(const Message &message, const EncodeFailure &failure) {
  const std::string bytes = std::to_string(message.bytes.size() - (message.tooLong ? 1 : 0));
  const std::string level(1, LevelLetter(failure.ecLevel));
  const std::string version = std::to_string(failure.version);
  if (MessageLanguage() == Language::Chinese) {
    if (message.tooLong)
      return "内容（超过" + bytes + "字节）放不进任何版本";
    return "内容（" + bytes + "字节）在纠错等级" + level + "下放不进" +
           (failure.version == 0 ? "任何版本" : "版本" + version);
  }
  if (message.tooLong)
    return "the message (more than " + bytes + " bytes) does not fit any version";
  return "the message (" + bytes + " bytes) does not fit " +
         (failure.version == 0 ? "any version" : "version " + version) + " at level " + level;
}

bool EncodeMessage(const EncodeOptions &options, const Message &message, Picture &symbol,
                   std::string &error) {
  if (message.tooLong) {
    error = DoesNotFit(message);
    return false;
  }
  QrEncoder encoder;
  EncodeFailure failure;
  symbol = encoder.MakeSymbol(message.bytes.data(), static_cast<int>(message.bytes.size()),
                              options.version, options.ecLevel, options.mask, message.kanji,
                              options.eci, &failure);
  if (symbol.isNull()) {
    error = DoesNotFit(message, failure);
    return false;
  }
  return true;
}

} // namespace zub::cli
