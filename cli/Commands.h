#pragma once

#include "Options.h"

#include <string>
#include <vector>

namespace zub::cli {

// Each command takes the arguments after its name and returns the exit status.
int Encode(const std::vector<std::string> &args);

// The one-line reason for a message that fits no symbol with these options.
std::string DoesNotFit(const EncodeOptions &options, std::size_t bytes);

} // namespace zub::cli
