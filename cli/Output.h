#pragma once

#include <cstddef>
#include <string>

namespace zub::cli {

// Writes `size` bytes at `data` to `output`: "-" is standard output, a
// pipe, character device or terminal by name is written into, anything
// else is a file that appears complete or not at all (WriteWholeFile in
// FileWrite.h). False with `error` one line in the locale's language on
// failure.
bool WriteOutput(const void *data, std::size_t size, const std::string &output, std::string &error);

template <typename Bytes>
bool WriteOutput(const Bytes &bytes, const std::string &output, std::string &error) {
  return WriteOutput(bytes.data(), static_cast<std::size_t>(bytes.size()), output, error);
}

} // namespace zub::cli
