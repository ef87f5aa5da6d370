#pragma once

#include <cstddef>
#include <string>

namespace zub::cli {

// Writes `size` bytes at `data` to `output`: "-" is standard output,
// anything else a file that appears complete or not at all
// (WriteFileAtomically). False with `error` one English line on failure.
bool WriteOutput(const void *data, std::size_t size, const std::string &output, std::string &error);

template <typename Bytes>
bool WriteOutput(const Bytes &bytes, const std::string &output, std::string &error) {
  return WriteOutput(bytes.data(), static_cast<std::size_t>(bytes.size()), output, error);
}

} // namespace zub::cli
