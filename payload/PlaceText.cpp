#include "PlaceText.h"

#include "PayloadEscapes.h"

#include <charconv>
#include <cmath>

namespace zub {

namespace payload {

std::optional<std::string> DecimalDegrees(std::string_view text) {
  text = Trimmed(text);
  std::string out;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    if (text.front() == '-')
      out += '-';
    text.remove_prefix(1);
  }
  const std::size_t point = text.find('.');
  const std::string_view whole = text.substr(0, point);
  const std::string_view fraction =
      point == std::string_view::npos ? std::string_view() : text.substr(point + 1);
  const auto digits = [](std::string_view part) {
    return part.find_first_not_of("0123456789") == std::string_view::npos;
  };
  if ((whole.empty() && fraction.empty()) || !digits(whole) || !digits(fraction))
    return std::nullopt;
  out += whole.empty() ? std::string_view("0") : whole;
  if (!fraction.empty())
    out.append(".").append(fraction);
  return out;
}

} // namespace payload

namespace {

// The problem of one coordinate, if it has one.
std::optional<PayloadProblem> CoordinateProblem(std::string_view text, double limit,
                                                PayloadProblem notNumber,
                                                PayloadProblem outOfRange) {
  const std::optional<std::string> degrees = payload::DecimalDegrees(text);
  if (!degrees)
    return notNumber;
  double value = 0;
  const auto [end, error] =
      std::from_chars(degrees->data(), degrees->data() + degrees->size(), value);
  // A number too long for a double is far out of range or far too precise;
  // either way it is no place.
  if (error != std::errc() || end != degrees->data() + degrees->size() || !std::isfinite(value))
    return outOfRange;
  if (std::fabs(value) > limit)
    return outOfRange;
  return std::nullopt;
}

} // namespace

std::vector<PayloadProblem> Problems(const PlaceForm &form) {
  std::vector<PayloadProblem> problems;
  if (const auto p = CoordinateProblem(form.latitude, 90, PayloadProblem::LatitudeNotNumber,
                                       PayloadProblem::LatitudeOutOfRange))
    problems.push_back(*p);
  if (const auto p = CoordinateProblem(form.longitude, 180, PayloadProblem::LongitudeNotNumber,
                                       PayloadProblem::LongitudeOutOfRange))
    problems.push_back(*p);
  return problems;
}

std::string PayloadText(const PlaceForm &form) {
  return "geo:" + payload::DecimalDegrees(form.latitude).value_or(std::string()) + "," +
         payload::DecimalDegrees(form.longitude).value_or(std::string());
}

} // namespace zub
