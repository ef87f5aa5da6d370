// Filled forms become the exact texts phones act on, escapes and all; a
// form that cannot be written says why, field by field.
#include "PayloadCases.h"

#include <gtest/gtest.h>

namespace zub::test {
namespace {

template <typename Form> void ExpectTexts(const std::vector<PayloadCase<Form>> &cases) {
  for (const auto &c : cases) {
    EXPECT_TRUE(Problems(c.form).empty()) << c.what;
    EXPECT_EQ(PayloadText(c.form), c.text) << c.what;
    // The same through the one value the front ends hold.
    EXPECT_EQ(PayloadText(PayloadForm(c.form)), c.text) << c.what;
  }
}

TEST(PayloadText, Wifi) {
  ExpectTexts(WifiCases());
}
TEST(PayloadText, Contact) {
  ExpectTexts(ContactCases());
}
TEST(PayloadText, Phone) {
  ExpectTexts(PhoneCases());
}
TEST(PayloadText, Sms) {
  ExpectTexts(SmsCases());
}
TEST(PayloadText, Mail) {
  ExpectTexts(MailCases());
}
TEST(PayloadText, Place) {
  ExpectTexts(PlaceCases());
}
TEST(PayloadText, Event) {
  ExpectTexts(EventCases());
}

// MECARD only while the card is short and its name is plain.
TEST(PayloadText, ContactFormatFollowsTheFields) {
  const ContactForm base{"王小明", "110", "a@b.cn", "", "", "", ""};
  EXPECT_EQ(FormatOf(base), ContactFormat::Mecard);
  for (std::string ContactForm::*field :
       {&ContactForm::organisation, &ContactForm::address, &ContactForm::url, &ContactForm::note}) {
    ContactForm form = base;
    form.*field = "x";
    EXPECT_EQ(FormatOf(form), ContactFormat::Vcard);
    form.*field = "  ";
    EXPECT_EQ(FormatOf(form), ContactFormat::Mecard) << "blank fields are empty";
  }
  for (const std::string name : {"Li, Lei", "王\n小明", "王\r小明"}) {
    ContactForm form = base;
    form.name.assign(name);
    EXPECT_EQ(FormatOf(form), ContactFormat::Vcard) << name;
  }
}

template <typename Form> struct ProblemCase {
  const char *what;
  Form form;
  std::vector<PayloadProblem> problems;
};

template <typename Form> void ExpectProblems(const std::vector<ProblemCase<Form>> &cases) {
  for (const auto &c : cases)
    EXPECT_EQ(Problems(c.form), c.problems) << c.what;
}

using P = PayloadProblem;

TEST(PayloadProblems, Wifi) {
  const std::string name32(32, 'n');
  ExpectProblems<WifiForm>({
      {"no name", {"", "12345678", WifiSecurity::Wpa, false}, {P::EmptyNetworkName}},
      {"32 bytes", {name32, "12345678", WifiSecurity::Wpa, false}, {}},
      {"33 bytes", {name32 + "n", "12345678", WifiSecurity::Wpa, false}, {P::NetworkNameTooLong}},
      {"eleven Chinese characters are 33 bytes",
       {"一二三四五六七八九十一", "12345678", WifiSecurity::Wpa, false},
       {P::NetworkNameTooLong}},
      {"WPA without a password", {"n", "", WifiSecurity::Wpa, false}, {P::MissingPassword}},
      {"WPA, 7 characters", {"n", "1234567", WifiSecurity::Wpa, false}, {P::WpaPasswordTooShort}},
      {"WPA, 8 bytes of Chinese and Latin", {"n", "密码ab", WifiSecurity::Wpa, false}, {}},
      {"WEP without a key", {"n", "", WifiSecurity::Wep, false}, {P::MissingPassword}},
      {"WEP, 4 characters", {"n", "abcd", WifiSecurity::Wep, false}, {P::WepKeyLength}},
      {"WEP, 13 characters", {"n", "abcdefghijklm", WifiSecurity::Wep, false}, {}},
      {"WEP, 10 hex digits", {"n", "0123456789", WifiSecurity::Wep, false}, {}},
      {"WEP, 26 hex digits", {"n", "0123456789abcdefABCDEF0123", WifiSecurity::Wep, false}, {}},
      {"WEP, 10 characters not hex",
       {"n", "012345678g", WifiSecurity::Wep, false},
       {P::WepKeyLength}},
      {"open with a password", {"n", "x", WifiSecurity::None, false}, {P::PasswordWithoutSecurity}},
      {"everything wrong",
       {"", "x", WifiSecurity::Wpa, false},
       {P::EmptyNetworkName, P::WpaPasswordTooShort}},
  });
}

TEST(PayloadProblems, Contact) {
  ExpectProblems<ContactForm>({
      {"no name", {"", "", "", "", "", "", ""}, {P::EmptyName}},
      {"a name of spaces", {" \u3000 ", "", "", "", "", "", ""}, {P::EmptyName}},
      {"a phone with letters", {"n", "110a", "", "", "", "", ""}, {P::InvalidPhoneNumber}},
      {"two @", {"n", "", "a@b@c", "", "", "", ""}, {P::InvalidMailAddress}},
      {"a web address with a space", {"n", "", "", "", "", "http://a b", ""}, {P::InvalidUrl}},
      {"everything wrong",
       {"", "+", "a", "", "", "a\tb", ""},
       {P::EmptyName, P::InvalidPhoneNumber, P::InvalidMailAddress, P::InvalidUrl}},
  });
}

TEST(PayloadProblems, PhoneAndSms) {
  ExpectProblems<PhoneForm>({
      {"empty", {""}, {P::EmptyPhoneNumber}},
      {"spaces", {"   "}, {P::EmptyPhoneNumber}},
      {"a letter", {"12a"}, {P::InvalidPhoneNumber}},
      {"a plus inside", {"1+2"}, {P::InvalidPhoneNumber}},
      {"a plus alone", {"+"}, {P::InvalidPhoneNumber}},
      {"a colon", {"1:2"}, {P::InvalidPhoneNumber}},
      {"full-width digits", {"１１０"}, {P::InvalidPhoneNumber}},
  });
  ExpectProblems<SmsForm>(
      {{"empty number", {"", "hi"}, {P::EmptyPhoneNumber}},
       {"a colon would start the message", {"1:2", ""}, {P::InvalidPhoneNumber}}});
}

TEST(PayloadProblems, Mail) {
  ExpectProblems<MailForm>({
      {"empty", {"", "s", "b"}, {P::EmptyMailAddress}},
      {"no @", {"ab", "", ""}, {P::InvalidMailAddress}},
      {"nothing before @", {"@b", "", ""}, {P::InvalidMailAddress}},
      {"nothing after @", {"a@", "", ""}, {P::InvalidMailAddress}},
      {"a space", {"a b@c", "", ""}, {P::InvalidMailAddress}},
      {"an ideographic space", {"a\u3000b@c", "", ""}, {P::InvalidMailAddress}},
      {"two @", {"a@b@c", "", ""}, {P::InvalidMailAddress}},
      {"spaces around", {" a@b.cn ", "", ""}, {}},
  });
}

TEST(PayloadProblems, Place) {
  ExpectProblems<PlaceForm>({
      {"north of the pole", {"90.0001", "0"}, {P::LatitudeOutOfRange}},
      {"south of the pole", {"-90.5", "0"}, {P::LatitudeOutOfRange}},
      {"past the date line", {"0", "180.5"}, {P::LongitudeOutOfRange}},
      {"words", {"abc", "0"}, {P::LatitudeNotNumber}},
      {"an exponent", {"1e1", "0"}, {P::LatitudeNotNumber}},
      {"a decimal comma", {"39,9", "1"}, {P::LatitudeNotNumber}},
      {"two points", {"1.2.3", "1"}, {P::LatitudeNotNumber}},
      {"a sign alone", {"-", "1"}, {P::LatitudeNotNumber}},
      {"a point alone", {"0", "."}, {P::LongitudeNotNumber}},
      {"nothing", {"", ""}, {P::LatitudeNotNumber, P::LongitudeNotNumber}},
      {"a number past any double", {"1" + std::string(400, '0'), "0"}, {P::LatitudeOutOfRange}},
  });
}

TEST(PayloadProblems, Event) {
  const EventTime nine{2026, 12, 10, 9, 0}, ten{2026, 12, 10, 10, 0};
  ExpectProblems<EventForm>({
      {"no title", {" ", nine, ten, "", ""}, {P::EmptyEventTitle}},
      {"an end before the start", {"t", ten, nine, "", ""}, {P::EndBeforeStart}},
      {"a moment", {"t", nine, nine, "", ""}, {}},
      {"29 February of a common year", {"t", {2027, 2, 29, 9, 0}, ten, "", ""}, {P::InvalidStart}},
      {"29 February 2000", {"t", {2000, 2, 29, 9, 0}, ten, "", ""}, {}},
      {"29 February 2100", {"t", nine, {2100, 2, 29, 9, 0}, "", ""}, {P::InvalidEnd}},
      {"hour 24", {"t", {2026, 12, 10, 24, 0}, ten, "", ""}, {P::InvalidStart}},
  });
}

} // namespace
} // namespace zub::test
