#pragma once

// The text a phone joins a Wi-Fi network by:
//
//   WIFI:T:<WPA|WEP|nopass>;S:<network name>;P:<password>;H:true;;
//
// P: is left out for an open network (T:nopass), H:true for a visible one.
//
// Escapes: in the network name and the password each of \ ; , : " gets a
// backslash before it. Readers look for a field by its "S:" or "P:" and end
// it at the first ";" without a backslash, so an unescaped ";" cuts a value
// short and an unescaped ":" can make a name look like the start of a field;
// the backslash is taken away again by every reader that knows the format.
// Nothing else is escaped, spaces at either end included: a network name
// may begin or end with one. Names and passwords are written as UTF-8.
//
// Worked example: the network  咖啡;店 "Bar"  with the WPA password
// p:w\d,1234  is
//
//   WIFI:T:WPA;S:咖啡\;店 \"Bar\";P:p\:w\\d\,1234;;

#include "PayloadProblem.h"

#include <string>
#include <vector>

namespace zub {

enum class WifiSecurity { Wpa, Wep, None };

struct WifiForm {
  std::string networkName; // UTF-8, as the network announces it
  std::string password;    // empty for an open network
  WifiSecurity security = WifiSecurity::Wpa;
  bool hidden = false; // the network does not announce its name
};

// What keeps the form from being written, in the order of its fields: a
// name that is empty or longer than 32 bytes; for WPA and WEP a missing
// password, for WPA one of fewer than 8 bytes, for WEP a key other than 5
// or 13 characters or 10 or 26 hexadecimal digits; a password given for an
// open network. Empty when the form can be written.
std::vector<PayloadProblem> Problems(const WifiForm &form);

// The text of the form, escaped as above. Meant for a form without
// problems; written all the same for one that has some.
std::string PayloadText(const WifiForm &form);

} // namespace zub
