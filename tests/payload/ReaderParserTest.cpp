// What a phone reader makes of the texts: the result parsers that ZXing-
// based phone readers run on what they scan (the Java ZXing core's
// client.result, as a test oracle) take every text apart into the form's
// own fields, whatever special characters the fields hold.
#include "PayloadCases.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <unistd.h>

namespace zub::test {
namespace {

using Fields = std::map<std::string, std::string>;

// One text as the parsers took it apart: the kind of result and its
// fields ("-" stands for a field the parser left empty: null).
struct Parsed {
  std::string kind;
  Fields fields;

  std::string field(const std::string &name) const {
    const auto it = fields.find(name);
    return it == fields.end() ? "(not a field of " + kind + ")" : it->second;
  }
};

std::string Hex(const std::string &bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out;
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    out += kDigits[b >> 4];
    out += kDigits[b & 15];
  }
  return out;
}

std::string Unhex(const std::string &hex) {
  if (hex == "-")
    return "-";
  std::string out;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
    out += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  return out;
}

#ifdef ZUB_JAVA
// Runs the oracle once on every text, in a scratch folder of its own.
std::vector<Parsed> ParseOnPhone(const std::vector<std::string> &texts) {
  char folder[] = "/tmp/zub-payload-oracle-XXXXXX";
  if (!::mkdtemp(folder)) {
    ADD_FAILURE() << "no scratch folder: " << std::strerror(errno);
    return {};
  }
  const std::string input = std::string(folder) + "/texts";
  {
    std::ofstream out(input);
    for (const std::string &text : texts)
      out << Hex(text) << "\n";
  }
  // Times are compared as instants: the parsers read floating times in
  // the zone of the machine, fixed here.
  const std::string command =
      std::string("'") + ZUB_JAVA +
      "' -Duser.timezone=UTC -cp '" ZUB_ORACLE_CLASSPATH "' ParsePayloads < '" + input + "'";
  std::vector<Parsed> parsed;
  if (FILE *pipe = ::popen(command.c_str(), "r")) {
    std::string output;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
      output.append(buffer, n);
    EXPECT_EQ(::pclose(pipe), 0) << command;
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
      std::istringstream parts(line);
      Parsed p;
      std::getline(parts, p.kind, '\t');
      for (std::string field; std::getline(parts, field, '\t');) {
        const auto eq = field.find('=');
        p.fields[field.substr(0, eq)] = Unhex(field.substr(eq + 1));
      }
      parsed.push_back(std::move(p));
    }
  }
  std::remove(input.c_str());
  ::rmdir(folder);
  EXPECT_EQ(parsed.size(), texts.size()) << "the oracle answered for every text";
  parsed.resize(texts.size());
  return parsed;
}
#endif

class ReaderParsers : public ::testing::Test {
protected:
  void SetUp() override {
#ifndef ZUB_JAVA
    GTEST_SKIP() << "Java or the Java ZXing core is not installed (scripts/install-deps.sh "
                    "installs default-jdk-headless and libzxing-core-java): the phone readers' "
                    "parsers cannot be asked";
#endif
  }

  // The texts of `cases`, parsed; each with what its form says it holds.
  template <typename Form>
  void Expect(const std::vector<PayloadCase<Form>> &cases, const std::string &kind,
              const std::function<Fields(const Form &)> &expected) {
#ifdef ZUB_JAVA
    std::vector<std::string> texts;
    for (const auto &c : cases)
      texts.push_back(PayloadText(c.form));
    const std::vector<Parsed> parsed = ParseOnPhone(texts);
    for (std::size_t i = 0; i < cases.size(); ++i) {
      SCOPED_TRACE(cases[i].what);
      EXPECT_EQ(parsed[i].kind, kind);
      for (const auto &[name, value] : expected(cases[i].form))
        EXPECT_EQ(parsed[i].field(name), value) << name << " of " << texts[i];
    }
#else
    (void)cases, (void)kind, (void)expected;
#endif
  }
};

// A field the form leaves empty, as the parsers give it: absent.
std::string OrAbsent(const std::string &value) {
  return value.empty() ? "-" : value;
}

std::string TrimmedField(std::string value) {
  const auto blank = [](const std::string &s, bool front) {
    const std::string space = "\xE3\x80\x80";
    if (s.empty())
      return std::size_t{0};
    const char c = front ? s.front() : s.back();
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n')
      return std::size_t{1};
    if (front ? s.starts_with(space) : s.ends_with(space))
      return space.size();
    return std::size_t{0};
  };
  for (std::size_t n; (n = blank(value, true)) > 0;)
    value.erase(0, n);
  for (std::size_t n; (n = blank(value, false)) > 0;)
    value.erase(value.size() - n);
  return value;
}

// Each line break (CR LF, CR or LF) as one line feed.
std::string LineFeeds(const std::string &text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
      continue;
    out += text[i] == '\r' ? '\n' : text[i];
  }
  return out;
}

std::string WithoutSpaces(std::string value) {
  std::erase(value, ' ');
  return value;
}

TEST_F(ReaderParsers, TakeWifiApart) {
  Expect<WifiForm>(WifiCases(), "WIFI", [](const WifiForm &f) {
    const char *type = f.security == WifiSecurity::Wpa   ? "WPA"
                       : f.security == WifiSecurity::Wep ? "WEP"
                                                         : "nopass";
    return Fields{{"ssid", f.networkName},
                  {"password", OrAbsent(f.password)},
                  {"security", type},
                  {"hidden", f.hidden ? "true" : "false"}};
  });
}

TEST_F(ReaderParsers, TakeContactCardsApart) {
  Expect<ContactForm>(ContactCases(), "ADDRESSBOOK", [](const ContactForm &f) {
    // A line break, however typed, is one line feed in the card.
    const std::string note = LineFeeds(TrimmedField(f.note));
    const std::string phone = TrimmedField(f.phone);
    return Fields{
        {"name", TrimmedField(f.name)},
        {"phone", OrAbsent(FormatOf(f) == ContactFormat::Mecard ? WithoutSpaces(phone) : phone)},
        {"email", OrAbsent(TrimmedField(f.email))},
        {"org", OrAbsent(TrimmedField(f.organisation))},
        {"address", OrAbsent(TrimmedField(f.address))},
        {"url", OrAbsent(TrimmedField(f.url))},
        {"note", OrAbsent(note)}};
  });
}

// The dialler decodes the URI it is given: %23 is the # typed.
TEST_F(ReaderParsers, TakePhoneNumbersApart) {
  Expect<PhoneForm>(PhoneCases(), "TEL", [](const PhoneForm &f) {
    std::string number = WithoutSpaces(f.number);
    if (const auto hash = number.find('#'); hash != std::string::npos)
      number.replace(hash, 1, "%23");
    return Fields{{"number", number}};
  });
}

TEST_F(ReaderParsers, TakeTextMessagesApart) {
  Expect<SmsForm>(SmsCases(), "SMS", [](const SmsForm &f) {
    return Fields{{"number", WithoutSpaces(f.number)}, {"body", f.message}};
  });
}

TEST_F(ReaderParsers, TakeMailsApart) {
  Expect<MailForm>(MailCases(), "EMAIL_ADDRESS", [](const MailForm &f) {
    std::string body;
    for (std::size_t i = 0; i < f.body.size(); ++i) {
      if (f.body[i] == '\r' || f.body[i] == '\n') {
        if (f.body[i] == '\r' && i + 1 < f.body.size() && f.body[i + 1] == '\n')
          ++i;
        body += "\r\n";
      } else {
        body += f.body[i];
      }
    }
    return Fields{{"to", TrimmedField(f.address)},
                  {"subject", OrAbsent(f.subject)},
                  {"body", OrAbsent(body)}};
  });
}

// Degrees as numbers, the nearest double of what was typed: compared as
// numbers, since Java and C++ print doubles differently.
TEST_F(ReaderParsers, TakePlacesApart) {
  Expect<PlaceForm>(PlaceCases(), "GEO", [](const PlaceForm &) { return Fields{}; });
#ifdef ZUB_JAVA
  std::vector<std::string> texts;
  for (const auto &c : PlaceCases())
    texts.push_back(PayloadText(c.form));
  const std::vector<Parsed> parsed = ParseOnPhone(texts);
  for (std::size_t i = 0; i < texts.size(); ++i) {
    const PlaceForm &f = PlaceCases()[i].form;
    EXPECT_EQ(std::strtod(parsed[i].field("latitude").c_str(), nullptr),
              std::strtod(TrimmedField(f.latitude).c_str(), nullptr))
        << texts[i];
    EXPECT_EQ(std::strtod(parsed[i].field("longitude").c_str(), nullptr),
              std::strtod(TrimmedField(f.longitude).c_str(), nullptr))
        << texts[i];
  }
#endif
}

// Milliseconds since 1970 of a wall-clock time read as UTC.
std::string UtcMilliseconds(const EventTime &t) {
  // Days from the civil date (the proleptic Gregorian calendar).
  const int y = t.year - (t.month <= 2 ? 1 : 0);
  const int era = (y >= 0 ? y : y - 399) / 400;
  const int yoe = y - era * 400;
  const int doy = (153 * (t.month + (t.month > 2 ? -3 : 9)) + 2) / 5 + t.day - 1;
  const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  const long long days = static_cast<long long>(era) * 146097 + doe - 719468;
  return std::to_string(((days * 24 + t.hour) * 60 + t.minute) * 60 * 1000);
}

TEST_F(ReaderParsers, TakeEventsApart) {
  Expect<EventForm>(EventCases(), "CALENDAR", [](const EventForm &f) {
    const std::string description = LineFeeds(TrimmedField(f.description));
    return Fields{{"summary", TrimmedField(f.title)},
                  {"start", UtcMilliseconds(f.start)},
                  {"end", UtcMilliseconds(f.end)},
                  {"location", OrAbsent(TrimmedField(f.location))},
                  {"description", OrAbsent(description)}};
  });
}

} // namespace
} // namespace zub::test
