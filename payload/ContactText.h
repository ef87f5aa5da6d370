#pragma once

// A contact card, in the shorter of two formats that phones take:
//
// MECARD, for a card of a name, a phone number and a mail address only,
// which more phone readers parse and which is shorter:
//
//   MECARD:N:<name>;TEL:<number>;EMAIL:<address>;;
//
// vCard 3.0, once the card holds an organisation, an address, a web
// address or a note, or a name with a comma or a line break (MECARD reads
// "Last,First" in its name and holds no line break):
//
//   BEGIN:VCARD
//   VERSION:3.0
//   N:<name>
//   FN:<name>
//   ORG:<organisation>
//   TEL:<number>
//   EMAIL:<address>
//   ADR:;;<address>
//   URL:<web address>
//   NOTE:<note>
//   END:VCARD
//
// Empty fields are left out. The name goes whole into N's family part,
// which is how Chinese names are kept, and into FN; the address whole into
// ADR's street part. The lines end in a line feed alone: readers split on
// it, it saves a byte a line and the window's text box keeps it, where a
// carriage return would not survive. Lines are not folded: readers take
// long lines, and folding costs bytes.
//
// Escapes: in MECARD each of \ ; , : in the name and the mail address
// gets a backslash before it (readers find a field by "TEL:" and end it at
// the first ";" without one). In vCard, in every text (name, organisation,
// mail address, address, note) each of \ ; , gets a backslash and each line
// break is written \n; the web address is a URI and is written as it is.
// Phone numbers hold none of these characters (PhoneText.h); MECARD writes
// them without spaces. Every field loses the spaces at its ends, as the
// readers take them away too. Everything is UTF-8.
//
// Worked examples: 王小明 with 138 0013 8000 and wang:x@example.com is
//
//   MECARD:N:王小明;TEL:13800138000;EMAIL:wang\:x@example.com;;
//
// and Li, Lei of 北京;分部 with the note  a\b  is
//
//   BEGIN:VCARD
//   VERSION:3.0
//   N:Li\, Lei
//   FN:Li\, Lei
//   ORG:北京\;分部
//   NOTE:a\\b
//   END:VCARD

#include "PayloadProblem.h"

#include <string>
#include <vector>

namespace zub {

struct ContactForm {
  std::string name; // required
  std::string phone;
  std::string email;
  std::string organisation;
  std::string address;
  std::string url;
  std::string note;
};

enum class ContactFormat { Mecard, Vcard };

// The format the card is written in, as chosen above.
ContactFormat FormatOf(const ContactForm &form);

// What keeps the card from being written, in field order: no name, a phone
// number or mail address that is not one (PhoneText.h, MailText.h), a web
// address with a space or control character.
std::vector<PayloadProblem> Problems(const ContactForm &form);

std::string PayloadText(const ContactForm &form);

} // namespace zub
