#include "PayloadOptions.h"

#include "Messages.h"
#include "OutputFormats.h"
#include "Payload.h"
#include "PayloadWords.h"

#include <algorithm>

namespace zub::cli {

namespace {

struct KindName {
  PayloadKind kind;
  const char *name;
};
constexpr KindName kKinds[] = {{PayloadKind::Wifi, "wifi"}, {PayloadKind::Tel, "tel"},
                               {PayloadKind::Sms, "sms"},   {PayloadKind::Mail, "mail"},
                               {PayloadKind::Geo, "geo"},   {PayloadKind::Contact, "contact"}};

const char *NameOf(PayloadKind kind) {
  for (const KindName &k : kKinds)
    if (k.kind == kind)
      return k.name;
  return "";
}

// The fields each kind takes, in the order of its options.
const std::vector<std::string> &FieldsOf(PayloadKind kind) {
  static const std::vector<std::string> wifi{"password", "security", "hidden"}, none{}, sms{"body"},
      mail{"subject", "body"}, contact{"name", "phone", "email", "org", "address", "url", "note"};
  switch (kind) {
  case PayloadKind::Wifi:
    return wifi;
  case PayloadKind::Sms:
    return sms;
  case PayloadKind::Mail:
    return mail;
  case PayloadKind::Contact:
    return contact;
  case PayloadKind::Tel:
  case PayloadKind::Geo:
    break;
  }
  return none;
}

// The field a problem concerns, as the kind's options name it.
std::string FieldOf(PayloadProblem problem, PayloadKind kind) {
  switch (problem) {
  case PayloadProblem::MissingPassword:
  case PayloadProblem::PasswordWithoutSecurity:
  case PayloadProblem::WpaPasswordTooShort:
  case PayloadProblem::WepKeyLength:
    return "password";
  case PayloadProblem::EmptyName:
    return "name";
  case PayloadProblem::EmptyPhoneNumber:
  case PayloadProblem::InvalidPhoneNumber:
    return kind == PayloadKind::Contact ? "phone" : NameOf(kind);
  case PayloadProblem::EmptyMailAddress:
  case PayloadProblem::InvalidMailAddress:
    return kind == PayloadKind::Contact ? "email" : NameOf(kind);
  case PayloadProblem::InvalidUrl:
    return "url";
  default:
    break;
  }
  return NameOf(kind);
}

std::string Field(const PayloadFields &form, const std::string &name) {
  const auto it = form.fields.find(name);
  return it == form.fields.end() ? std::string() : it->second;
}

} // namespace

std::optional<PayloadKind> PayloadKindNamed(std::string_view name) {
  for (const KindName &k : kKinds)
    if (name == k.name)
      return k.kind;
  return std::nullopt;
}

const std::vector<std::string> &PayloadColumns(PayloadKind kind) {
  static const std::map<PayloadKind, std::vector<std::string>> columns = [] {
    std::map<PayloadKind, std::vector<std::string>> all;
    for (const KindName &k : kKinds) {
      std::vector<std::string> &c = all[k.kind];
      if (k.kind == PayloadKind::Geo)
        c = {"latitude", "longitude"};
      else if (k.kind != PayloadKind::Contact)
        c = {k.name};
      c.insert(c.end(), FieldsOf(k.kind).begin(), FieldsOf(k.kind).end());
    }
    return all;
  }();
  return columns.at(kind);
}

std::optional<std::string> PayloadTextOf(const PayloadFields &form, std::string &field,
                                         std::string &why) {
  PayloadForm payload;
  switch (form.kind) {
  case PayloadKind::Wifi: {
    WifiForm wifi{form.value, Field(form, "password"), WifiSecurity::Wpa, false};
    const std::string security = AsciiLower(Field(form, "security"));
    if (security.empty())
      wifi.security = wifi.password.empty() ? WifiSecurity::None : WifiSecurity::Wpa;
    else if (security == "wpa" || security == "wpa2" || security == "wpa3")
      wifi.security = WifiSecurity::Wpa;
    else if (security == "wep")
      wifi.security = WifiSecurity::Wep;
    else if (security == "none" || security == "nopass")
      wifi.security = WifiSecurity::None;
    else {
      field = "security";
      why = Say("应为 wpa、wep 或 none，而不是“", "takes wpa, wep or none, not '") +
            Field(form, "security") + Say("”", "'");
      return std::nullopt;
    }
    // A flag on the command line; a batch's column says yes or no.
    const std::string hidden = AsciiLower(Field(form, "hidden"));
    if (hidden == "yes" || hidden == "true" || hidden == "1")
      wifi.hidden = true;
    else if (!(hidden.empty() || hidden == "no" || hidden == "false" || hidden == "0")) {
      field = "hidden";
      why = Say("应为 yes 或 no，而不是“", "takes yes or no, not '") + Field(form, "hidden") +
            Say("”", "'");
      return std::nullopt;
    }
    payload = wifi;
    break;
  }
  case PayloadKind::Tel:
    payload = PhoneForm{form.value};
    break;
  case PayloadKind::Sms:
    payload = SmsForm{form.value, Field(form, "body")};
    break;
  case PayloadKind::Mail:
    payload = MailForm{form.value, Field(form, "subject"), Field(form, "body")};
    break;
  case PayloadKind::Geo: {
    const auto comma = form.value.find(',');
    if (comma == std::string::npos) {
      field = "geo";
      why =
          Say("应为“纬度,经度”，例如 39.9087,116.3975", "takes LAT,LON, such as 39.9087,116.3975");
      return std::nullopt;
    }
    payload = PlaceForm{form.value.substr(0, comma), form.value.substr(comma + 1)};
    break;
  }
  case PayloadKind::Contact:
    payload = ContactForm{Field(form, "name"), Field(form, "phone"),   Field(form, "email"),
                          Field(form, "org"),  Field(form, "address"), Field(form, "url"),
                          Field(form, "note")};
    break;
  }
  if (const std::vector<PayloadProblem> problems = Problems(payload); !problems.empty()) {
    field = FieldOf(problems.front(), form.kind);
    why = PayloadProblemWords(problems.front(), MessageLanguage());
    return std::nullopt;
  }
  return PayloadText(payload);
}

std::vector<OptionRule> PayloadOptionRules(PayloadRequest &request) {
  struct KindOption {
    std::string_view option;
    PayloadKind kind;
  };
  static constexpr KindOption kKindOptions[] = {
      {"--wifi", PayloadKind::Wifi}, {"--tel", PayloadKind::Tel},
      {"--sms", PayloadKind::Sms},   {"--mail", PayloadKind::Mail},
      {"--geo", PayloadKind::Geo},   {"--contact", PayloadKind::Contact}};
  static constexpr std::string_view kFieldOptions[] = {
      "--password", "--security", "--hidden", "--body",    "--subject", "--name",
      "--phone",    "--email",    "--org",    "--address", "--url",     "--note"};
  std::vector<OptionRule> rules;
  for (const KindOption &k : kKindOptions)
    rules.push_back({k.option, 0, k.kind != PayloadKind::Contact,
                     [&request, kind = k.kind](std::string_view v, std::string &) {
                       request.kinds.push_back({kind, std::string(v), {}});
                       return true;
                     }});
  for (const std::string_view option : kFieldOptions)
    rules.push_back(
        {option, 0, option != "--hidden", [&request, option](std::string_view v, std::string &) {
           // A flag: the same as a batch's column saying yes.
           request.fields[std::string(option.substr(2))] =
               option == "--hidden" ? std::string("yes") : std::string(v);
           return true;
         }});
  rules.push_back({"--columns", 0, true, [&request](std::string_view v, std::string &error) {
                     if (!PayloadKindNamed(AsciiLower(v))) {
                       error = Say("--columns 取 wifi、tel、sms、mail、geo 或 contact，而不是“",
                                   "--columns takes wifi, tel, sms, mail, geo or contact, not '") +
                               std::string(v) + Say("”", "'");
                       return false;
                     }
                     request.columns = AsciiLower(v);
                     return true;
                   }});
  return rules;
}

bool FinishPayloadOptions(const PayloadRequest &request, const ParsedArgs &parsed,
                          EncodeOptions &options, std::string &error) {
  const std::string kindList = Say("--wifi、--tel、--sms、--mail、--geo 或 --contact",
                                   "--wifi, --tel, --sms, --mail, --geo or --contact");
  if (request.kinds.size() > 1) {
    error = Say("--wifi、--tel、--sms、--mail、--geo 和 --contact 一次只能用一个",
                "use one of --wifi, --tel, --sms, --mail, --geo and --contact at a time");
    return false;
  }
  if (request.columns) {
    if (!options.batch) {
      error = Say("--columns 只用于 --batch", "--columns is for --batch only");
      return false;
    }
    if (!request.kinds.empty()) {
      error = Say("--batch 从文件的各列读取内容，不能再给出 --",
                  "--batch takes the forms from its columns, not from --") +
              NameOf(request.kinds.front().kind);
      return false;
    }
  }
  if (request.kinds.empty() && !request.fields.empty() && !request.columns) {
    error = "--" + request.fields.begin()->first + Say(" 需要与 ", " goes with ") + kindList +
            Say(" 同用", "");
    return false;
  }
  if (!request.kinds.empty() || request.columns) {
    if (options.encoding == TextEncoding::Ansi) {
      error = Say("这些内容总是以 UTF-8 写出：不能使用 --encoding ansi",
                  "these texts are always UTF-8: --encoding ansi does not go with them");
      return false;
    }
  }
  if (request.columns) {
    if (!request.fields.empty()) {
      error = Say("--batch 从文件的各列读取 --", "--batch takes --") +
              request.fields.begin()->first +
              Say("，不能在命令行上给出", " from its columns, not from the command line");
      return false;
    }
    options.batchColumns = request.columns;
    return true;
  }
  if (request.kinds.empty())
    return true;
  PayloadFields form = request.kinds.front();
  const std::string option = std::string("--") + NameOf(form.kind);
  if (!parsed.positionals.empty() || options.text || options.inputFile || options.batch) {
    error = option +
            Say(" 已给出内容，不能再给出 TEXT、--text、--input 或 --batch（批量时请用 --columns）",
                " makes the message: no TEXT, --text, --input or --batch beside it "
                "(a batch takes --columns)");
    return false;
  }
  const std::vector<std::string> &own = FieldsOf(form.kind);
  for (const auto &[name, value] : request.fields) {
    if (std::find(own.begin(), own.end(), name) == own.end()) {
      error = "--" + name + Say(" 不能与 ", " does not go with ") + option + Say(" 同用", "");
      return false;
    }
  }
  form.fields = request.fields;
  std::string field, why;
  const std::optional<std::string> text = PayloadTextOf(form, field, why);
  if (!text) {
    error = "--" + field + Say("：", ": ") + why;
    return false;
  }
  options.text = *text;
  return true;
}

} // namespace zub::cli
