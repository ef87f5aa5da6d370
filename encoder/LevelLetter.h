#pragma once

#include <algorithm>

namespace zub {

// The letter users and readers name an error-correction level by: 1 L,
// 2 M, 3 Q, 4 H (a level outside that range takes the nearest).
constexpr char LevelLetter(int level) {
  return "LMQH"[std::clamp(level, 1, 4) - 1];
}

// The level of a letter, either case: 1 to 4, or 0 for any other.
constexpr int LevelOfLetter(char letter) {
  for (int level = 1; level <= 4; ++level)
    if (letter == LevelLetter(level) || letter == LevelLetter(level) - 'A' + 'a')
      return level;
  return 0;
}

} // namespace zub
