#pragma once

// A place on the map, as a geo: URI of its latitude and longitude in
// degrees (WGS 84, as phones' maps take them):
//
//   geo:<latitude>,<longitude>
//
// Each is a decimal number with a point, north and east positive, written
// as typed less a leading "+" and the spaces around it (".5" becomes
// "0.5", "5." becomes "5"): as many decimals as the user gave, never a
// rounding. Nothing needs escaping: a number holds only digits, "-" and ".".
//
// Worked example: latitude 39.9087, longitude +116.3975 is
//
//   geo:39.9087,116.3975

#include "PayloadProblem.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zub {

struct PlaceForm {
  std::string latitude;  // -90 to 90
  std::string longitude; // -180 to 180
};

// LatitudeNotNumber or LatitudeOutOfRange, then the same of the longitude.
std::vector<PayloadProblem> Problems(const PlaceForm &form);

std::string PayloadText(const PlaceForm &form);

namespace payload {

// The number as written in a geo: URI, or nothing when `text` is not a
// decimal number: an optional sign, digits with at most one point, no
// exponent.
std::optional<std::string> DecimalDegrees(std::string_view text);

} // namespace payload

} // namespace zub
