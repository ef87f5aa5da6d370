#include "WifiText.h"

#include "PayloadEscapes.h"

#include <algorithm>

namespace zub {

namespace {

// The most bytes a network name (an SSID) holds.
constexpr std::size_t kMaxNetworkNameBytes = 32;

bool AllHex(const std::string &text) {
  return std::all_of(text.begin(), text.end(), [](char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
  });
}

} // namespace

std::vector<PayloadProblem> Problems(const WifiForm &form) {
  std::vector<PayloadProblem> problems;
  if (form.networkName.empty())
    problems.push_back(PayloadProblem::EmptyNetworkName);
  else if (form.networkName.size() > kMaxNetworkNameBytes)
    problems.push_back(PayloadProblem::NetworkNameTooLong);
  const std::size_t length = form.password.size();
  switch (form.security) {
  case WifiSecurity::Wpa:
    if (form.password.empty())
      problems.push_back(PayloadProblem::MissingPassword);
    else if (length < 8)
      problems.push_back(PayloadProblem::WpaPasswordTooShort);
    break;
  case WifiSecurity::Wep:
    // 40- and 104-bit keys: as characters or as hexadecimal digits.
    if (form.password.empty())
      problems.push_back(PayloadProblem::MissingPassword);
    else if (!(length == 5 || length == 13 ||
               ((length == 10 || length == 26) && AllHex(form.password))))
      problems.push_back(PayloadProblem::WepKeyLength);
    break;
  case WifiSecurity::None:
    if (!form.password.empty())
      problems.push_back(PayloadProblem::PasswordWithoutSecurity);
    break;
  }
  return problems;
}

std::string PayloadText(const WifiForm &form) {
  static constexpr std::string_view kSpecial = "\\;,:\"";
  std::string text = "WIFI:T:";
  switch (form.security) {
  case WifiSecurity::Wpa:
    text += "WPA";
    break;
  case WifiSecurity::Wep:
    text += "WEP";
    break;
  case WifiSecurity::None:
    text += "nopass";
    break;
  }
  text += ";S:" + payload::BackslashEscaped(form.networkName, kSpecial) + ";";
  if (form.security != WifiSecurity::None)
    text += "P:" + payload::BackslashEscaped(form.password, kSpecial) + ";";
  if (form.hidden)
    text += "H:true;";
  text += ";";
  return text;
}

} // namespace zub
