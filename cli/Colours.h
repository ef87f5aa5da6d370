#pragma once

#include "Language.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zub::cli {

struct Rgba {
  std::uint8_t r = 0, g = 0, b = 0, a = 255;
  bool operator==(const Rgba &) const = default;
  bool Opaque() const { return a == 255; }
  bool Grey() const { return r == g && g == b; }
};

// The colours of the dark and the light modules; black on white unless
// --fg and --bg say otherwise.
struct Colours {
  Rgba dark{0, 0, 0, 255};
  Rgba light{255, 255, 255, 255};
  bool operator==(const Colours &) const = default;
};

// "#RRGGBB", "#RRGGBBAA" (hexadecimal, either case) or one of the CSS
// colour names ("navy", "white"; case does not matter). Nothing for
// anything else.
std::optional<Rgba> ParseColour(std::string_view text);

// How far a reader can tell the two colours apart: the ratio of their
// relative luminances (1 to 21), each drawn over a white page as far as it
// is transparent.
double ContrastRatio(const Colours &colours);

// Below this readers start to miss modules: printed codes want a clear
// step between dark and light.
inline constexpr double kMinContrastRatio = 3.0;

// What is wrong with the colours for a reader, as one sentence in
// `language`, or nothing: too little contrast, or light modules darker than
// the dark ones (inverted), which many readers do not try.
std::optional<std::string> ColourProblem(const Colours &colours, Language language);

// "#rrggbb", as an SVG fill takes it.
std::string HexColour(const Rgba &colour);

} // namespace zub::cli
