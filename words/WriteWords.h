#pragma once

#include "FileWrite.h"
#include "Language.h"

#include <string>

namespace zub {

// One sentence in `language` saying why `result` failed; empty when it did not.
std::string WriteFailureWords(const WriteResult &result, Language language);

} // namespace zub
