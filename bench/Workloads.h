#pragma once

// The encoder's benchmark messages: fixed, so that every run and every
// machine measures the same work.

#include "QrEncoder.h"

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace zub::bench {

struct Workload {
  const char *name;
  std::vector<std::uint8_t> bytes;
  int ecLevel;
};

// Lowercase letters and digits, never more than two digits in a row, so
// that one byte segment is the cheapest encoding.
inline std::vector<std::uint8_t> ByteModeText(std::size_t length, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<std::uint8_t> text;
  int digitsInRow = 0;
  while (text.size() < length) {
    const bool digit = digitsInRow < 2 && rng() % 4 == 0;
    text.push_back(static_cast<std::uint8_t>(digit ? '0' + rng() % 10 : 'a' + rng() % 26));
    digitsInRow = digit ? digitsInRow + 1 : 0;
  }
  return text;
}

// Runs of digits, capitals and lowercase letters in turn, each 1-20 long:
// the segmentation has real choices to make at every boundary.
inline std::vector<std::uint8_t> MixedText(std::size_t length, unsigned seed) {
  std::mt19937 rng(seed);
  auto below = [&rng](unsigned n) { return static_cast<unsigned>(rng() % n); };
  const unsigned base[3] = {'0', 'A', 'a'};
  const unsigned span[3] = {10, 26, 26};
  std::vector<std::uint8_t> text;
  for (std::size_t kind = 0; text.size() < length; kind = (kind + 1) % 3) {
    const unsigned run = 1 + below(20);
    for (unsigned i = 0; i < run && text.size() < length; ++i)
      text.push_back(static_cast<std::uint8_t>(base[kind] + below(span[kind])));
  }
  return text;
}

inline std::vector<Workload> Workloads() {
  const std::string w1 = "https://example.com/q7x";
  return {
      {"W1", {w1.begin(), w1.end()}, kLevelM}, // version 2
      {"W2", ByteModeText(200, 2), kLevelM},   // version 10
      {"W3", ByteModeText(1000, 3), kLevelM},  // version 26
      {"W4", ByteModeText(2331, 4), kLevelM},  // version 40, full
      {"W5", ByteModeText(2953, 5), kLevelL},  // version 40, full
      {"W6", MixedText(2000, 6), kLevelM},
  };
}

} // namespace zub::bench
