#pragma once

// Why a filled form cannot become its text yet, as codes: the front ends
// put them into words (words/PayloadWords.h) and show them beside the form.

namespace zub {

enum class PayloadProblem {
  // Wi-Fi
  EmptyNetworkName,        // no network name
  NetworkNameTooLong,      // more than 32 bytes in UTF-8, the most a network name holds
  MissingPassword,         // WPA or WEP without a password
  PasswordWithoutSecurity, // a password for an open network
  WpaPasswordTooShort,     // a WPA password of fewer than 8 bytes
  WepKeyLength,            // a WEP key that is not 5 or 13 characters, or 10 or 26 hex digits
  // Contact card
  EmptyName, // a card without a name
  // Phone numbers (tel:, SMS, contact card)
  EmptyPhoneNumber,   // no number where one is needed
  InvalidPhoneNumber, // other characters than digits, spaces, a leading +, - . ( ) * #
  // Mail addresses (mailto:, contact card)
  EmptyMailAddress,   // no address where one is needed
  InvalidMailAddress, // not one @ between two non-empty parts, or a space in it
  // Web address (contact card)
  InvalidUrl, // a space or a control character in it
  // Place
  LatitudeNotNumber,   // not a decimal number such as 39.9087 or -33.86
  LatitudeOutOfRange,  // beyond -90 to 90
  LongitudeNotNumber,  // not a decimal number
  LongitudeOutOfRange, // beyond -180 to 180
  // Event
  EmptyEventTitle, // no title
  InvalidStart,    // a start that is no date and time of the calendar
  InvalidEnd,      // an end that is no date and time of the calendar
  EndBeforeStart,  // an end earlier than the start
};

} // namespace zub
