#pragma once
// The forms the payload tests share, each with the exact text it must
// become: every special character of each format in names, passwords and
// the other texts, Chinese among them. The text tests compare the texts,
// the oracle test what phone readers' parsers make of them, the round trip
// what the three readers give back.

#include "Payload.h"

#include <string>
#include <vector>

namespace zub::test {

template <typename Form> struct PayloadCase {
  const char *what;
  Form form;
  std::string text;
};

inline const std::vector<PayloadCase<WifiForm>> &WifiCases() {
  static const std::vector<PayloadCase<WifiForm>> cases = {
      {"plain WPA",
       {"Home", "12345678", WifiSecurity::Wpa, false},
       "WIFI:T:WPA;S:Home;P:12345678;;"},
      {"every special character in the name and the password",
       {R"(a\b;c,d:e"f)", R"(p\;,:"word)", WifiSecurity::Wpa, false},
       R"(WIFI:T:WPA;S:a\\b\;c\,d\:e\"f;P:p\\\;\,\:\"word;;)"},
      {"the header's example",
       {R"(咖啡;店 "Bar")", R"(p:w\d,1234)", WifiSecurity::Wpa, false},
       R"(WIFI:T:WPA;S:咖啡\;店 \"Bar\";P:p\:w\\d\,1234;;)"},
      {"field names inside the values",
       {"S:P:T:H:", "P:x;S:y;H:true", WifiSecurity::Wpa, false},
       R"(WIFI:T:WPA;S:S\:P\:T\:H\:;P:P\:x\;S\:y\;H\:true;;)"},
      {"a password ending in a backslash",
       {"Net", "password\\", WifiSecurity::Wpa, false},
       R"(WIFI:T:WPA;S:Net;P:password\\;;)"},
      {"a name that is only escapes",
       {R"(\\;;)", "12345678", WifiSecurity::Wpa, false},
       R"(WIFI:T:WPA;S:\\\\\;\;;P:12345678;;)"},
      {"spaces at the ends are kept",
       {" sp ace ", " pass word ", WifiSecurity::Wpa, false},
       "WIFI:T:WPA;S: sp ace ;P: pass word ;;"},
      {"WEP, hidden",
       {"Net", "abcde", WifiSecurity::Wep, true},
       "WIFI:T:WEP;S:Net;P:abcde;H:true;;"},
      {"open, Chinese",
       {"咖啡店免费", "", WifiSecurity::None, false},
       "WIFI:T:nopass;S:咖啡店免费;;"},
      {"open and hidden", {"隐藏", "", WifiSecurity::None, true}, "WIFI:T:nopass;S:隐藏;H:true;;"},
      {"Chinese password",
       {"家里的网", "芝麻开门吧朋友", WifiSecurity::Wpa, false},
       "WIFI:T:WPA;S:家里的网;P:芝麻开门吧朋友;;"},
  };
  return cases;
}

inline const std::vector<PayloadCase<ContactForm>> &ContactCases() {
  static const std::vector<PayloadCase<ContactForm>> cases = {
      {"the header's MECARD",
       {"王小明", "138 0013 8000", "wang:x@example.com", "", "", "", ""},
       R"(MECARD:N:王小明;TEL:13800138000;EMAIL:wang\:x@example.com;;)"},
      {"a name alone", {"Li Lei", "", "", "", "", "", ""}, "MECARD:N:Li Lei;;"},
      {"MECARD's special characters in the name",
       {R"(a\b;c:d"e)", "", "x;y@example.com", "", "", "", ""},
       R"(MECARD:N:a\\b\;c\:d"e;EMAIL:x\;y@example.com;;)"},
      {"field names inside the name",
       {"N:TEL:EMAIL:1;", "110", "", "", "", "", ""},
       R"(MECARD:N:N\:TEL\:EMAIL\:1\;;TEL:110;;)"},
      {"spaces at the ends go, ideographic ones too",
       {"  王小明\u3000", " 110 ", "", "", "", "", ""},
       "MECARD:N:王小明;TEL:110;;"},
      {"a comma in the name makes a vCard",
       {"Li, Lei", "", "", "", "", "", ""},
       "BEGIN:VCARD\nVERSION:3.0\nN:Li\\, Lei\nFN:Li\\, Lei\nEND:VCARD"},
      {"the header's vCard",
       {"Li, Lei", "", "", "北京;分部", "", "", "a\\b"},
       "BEGIN:VCARD\nVERSION:3.0\nN:Li\\, Lei\nFN:Li\\, "
       "Lei\nORG:北京\\;分部\nNOTE:a\\\\b\nEND:VCARD"},
      {"every field, every vCard special character",
       {"张;三\\", "+86 10 1234-5678", "z,1@example.com", "北京,分部", "海淀区;1号\n2层",
        "https://example.com/a?b=1,2;c", "a:b\r\nc\\d,e"},
       "BEGIN:VCARD\nVERSION:3.0\nN:张\\;三\\\\\nFN:张\\;三\\\\\nORG:北京\\,分部\n"
       "TEL:+86 10 1234-5678\nEMAIL:z\\,1@example.com\nADR:;;海淀区\\;1号\\n2层\n"
       "URL:https://example.com/a?b=1,2;c\nNOTE:a:b\\nc\\\\d\\,e\nEND:VCARD"},
      {"an address ending in a backslash",
       {"Wang", "", "", "", "1号\\", "", ""},
       "BEGIN:VCARD\nVERSION:3.0\nN:Wang\nFN:Wang\nADR:;;1号\\\\\nEND:VCARD"},
      {"a line break in the name",
       {"王\n小明", "", "", "", "", "", ""},
       "BEGIN:VCARD\nVERSION:3.0\nN:王\\n小明\nFN:王\\n小明\nEND:VCARD"},
      {"a web address only",
       {"Shop", "", "", "", "", "example.com", ""},
       "BEGIN:VCARD\nVERSION:3.0\nN:Shop\nFN:Shop\nURL:example.com\nEND:VCARD"},
  };
  return cases;
}

inline const std::vector<PayloadCase<PhoneForm>> &PhoneCases() {
  static const std::vector<PayloadCase<PhoneForm>> cases = {
      {"the header's example", {"+86 (10) 1234-5678"}, "tel:+86(10)1234-5678"},
      {"a service code", {"*100#"}, "tel:*100%23"},
      {"spaces around", {" 110 "}, "tel:110"},
      {"points", {"010.1234.5678"}, "tel:010.1234.5678"},
  };
  return cases;
}

inline const std::vector<PayloadCase<SmsForm>> &SmsCases() {
  static const std::vector<PayloadCase<SmsForm>> cases = {
      {"the header's example",
       {"138 0013 8000", "到了吗？3:30 见"},
       "SMSTO:13800138000:到了吗？3:30 见"},
      {"no message", {"10086", ""}, "SMSTO:10086:"},
      {"colons, semicolons and line breaks in the message",
       {"+8610086", "a:b;c\nd\\e:"},
       "SMSTO:+8610086:a:b;c\nd\\e:"},
  };
  return cases;
}

inline const std::vector<PayloadCase<MailForm>> &MailCases() {
  static const std::vector<PayloadCase<MailForm>> cases = {
      {"the header's example",
       {"li+lei@example.com", "你好 & \"hi\"", "a=1\nb"},
       "mailto:li%2Blei@example.com?subject=%E4%BD%A0%E5%A5%BD%20%26%20%22hi%22&body=a%3D1%0D%0Ab"},
      {"an address alone", {"a@b.cn", "", ""}, "mailto:a@b.cn"},
      {"a body alone, every kind of line break",
       {" a@b.cn ", "", "x\r\ny\rz\n"},
       "mailto:a@b.cn?body=x%0D%0Ay%0D%0Az%0D%0A"},
      {"what ends or changes a part",
       {"a@b.cn", "100%?#+&=", "?&=#%+;,:/ "},
       "mailto:a@b.cn?subject=100%25%3F%23%2B%26%3D&body=%3F%26%3D%23%25%2B%3B%2C%3A%2F%20"},
  };
  return cases;
}

inline const std::vector<PayloadCase<PlaceForm>> &PlaceCases() {
  static const std::vector<PayloadCase<PlaceForm>> cases = {
      {"the header's example", {"39.9087", "+116.3975"}, "geo:39.9087,116.3975"},
      {"south and west", {"-33.8568", "-70.6693"}, "geo:-33.8568,-70.6693"},
      {"a bare point on either side", {".5", "5."}, "geo:0.5,5"},
      {"the limits", {"90", "-180"}, "geo:90,-180"},
      {"many decimals kept, spaces gone",
       {" 31.230416789 ", " 121.473701234 "},
       "geo:31.230416789,121.473701234"},
  };
  return cases;
}

inline const std::vector<PayloadCase<EventForm>> &EventCases() {
  static const std::vector<PayloadCase<EventForm>> cases = {
      {"the header's example",
       {"年会; 抽奖", {2026, 12, 10, 18, 0}, {2026, 12, 10, 21, 30}, "3, Park Road", ""},
       "BEGIN:VEVENT\nSUMMARY:年会\\; 抽奖\nDTSTART:20261210T180000\nDTEND:20261210T213000\n"
       "LOCATION:3\\, Park Road\nEND:VEVENT"},
      {"every special character, a leap day",
       {" a\\b;c,d:e ", {2028, 2, 29, 9, 5}, {2028, 3, 1, 0, 0}, "北京\n海淀", "x\r\ny;z"},
       "BEGIN:VEVENT\nSUMMARY:a\\\\b\\;c\\,d:e\nDTSTART:20280229T090500\nDTEND:20280301T000000\n"
       "LOCATION:北京\\n海淀\nDESCRIPTION:x\\ny\\;z\nEND:VEVENT"},
  };
  return cases;
}

} // namespace zub::test
