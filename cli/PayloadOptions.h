#pragma once

// The forms zubqr writes the text of instead of TEXT: --wifi, --tel, --sms,
// --mail, --geo and --contact with the options of their fields, and the
// same kinds as the columns of a batch (--columns).
#include "Options.h"

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zub::cli {

enum class PayloadKind { Wifi, Tel, Sms, Mail, Geo, Contact };

// The kind named "wifi", "tel", "sms", "mail", "geo" or "contact".
std::optional<PayloadKind> PayloadKindNamed(std::string_view name);

// One form as typed: its kind, the kind's own value (the network name, the
// number, the address, "LAT,LON"; none for a contact) and its fields by
// their option's name without the dashes ("password", "body", "name"...).
struct PayloadFields {
  PayloadKind kind = PayloadKind::Wifi;
  std::string value;
  std::map<std::string, std::string> fields;
};

// The columns of a kind in a batch, after the file's name: the kind's own
// value first (named by the kind, "wifi"; a place has two, "latitude" and
// "longitude"), then its fields in the order of the options.
const std::vector<std::string> &PayloadColumns(PayloadKind kind);

// The text of the form, in UTF-8. Nothing when it cannot be written: then
// `field` names what is wrong (the kind's name for its own value, else the
// field's) and `why` says it in the locale's language.
std::optional<std::string> PayloadTextOf(const PayloadFields &form, std::string &field,
                                         std::string &why);

// What the command line said of forms.
struct PayloadRequest {
  std::vector<PayloadFields> kinds;          // each kind option given, in order
  std::map<std::string, std::string> fields; // the field options given
  std::optional<std::string> columns;        // --columns KIND
};

// The options of forms, filling `request`.
std::vector<OptionRule> PayloadOptionRules(PayloadRequest &request);

// After parsing, before FinishEncodeOptions: with a kind option, its text
// becomes the message (options.text); with --columns, options.batchColumns
// is set. A kind beside another kind, TEXT, --text, --input, --batch or
// --encoding ansi, a field without its kind (or of another kind), --columns
// without --batch, and a form that cannot be written are errors: false with
// `error` set.
bool FinishPayloadOptions(const PayloadRequest &request, const ParsedArgs &parsed,
                          EncodeOptions &options, std::string &error);

} // namespace zub::cli
