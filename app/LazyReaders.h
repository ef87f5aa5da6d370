#pragma once

#include "Readers.h"

#include <string>
#include <vector>

namespace zub {

// The readers' module from the first of `places` where it lies (null when
// it lies nowhere, or is not trusted there (ModuleTrust) or does not load
// there: a later place is then not tried); `problem` says why it is null,
// and is empty otherwise. What the window's Readers() does on first use.
const ReaderCalls *LoadReadersFrom(const std::vector<std::string> &places, ReadersProblem &problem);

} // namespace zub
