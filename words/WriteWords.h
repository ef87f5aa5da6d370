#pragma once

#include "FileWrite.h"
#include "Language.h"

#include <string>

namespace zub {

// One sentence in `language` saying why `result` failed; empty when it did not.
std::string WriteFailureWords(const WriteResult &result, Language language);

// What a saved picture is when printed: its pixels, the density it
// carries and the size a print dialog gives it ("4416 × 3272 像素，300 dpi，
// 打印尺寸 37.4 × 27.7 厘米"). A vector picture (`vector`) has no pixels of
// its own: its size at `dotsPerInch` pixels an inch, and that it enlarges
// without losing sharpness.
std::string PrintedSizeWords(int width, int height, int dotsPerInch, bool vector,
                             Language language);

} // namespace zub
