// Feeds saved fuzz inputs to a fuzz target without the fuzzer: every file
// named, and every file in every directory named, once, in name order. A
// failing property aborts, which fails the test.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size);

namespace fs = std::filesystem;

int main(int argc, char **argv) {
  std::vector<fs::path> files;
  for (int i = 1; i < argc; ++i) {
    const fs::path arg = argv[i];
    if (fs::is_directory(arg)) {
      for (const auto &entry : fs::directory_iterator(arg))
        if (entry.is_regular_file())
          files.push_back(entry.path());
    } else if (fs::is_regular_file(arg)) {
      files.push_back(arg);
    } else {
      std::fprintf(stderr, "no such input: %s\n", arg.c_str());
      return 2;
    }
  }
  std::sort(files.begin(), files.end());
  for (const fs::path &file : files) {
    std::ifstream stream(file, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(stream)),
                                  std::istreambuf_iterator<char>());
    if (!stream.good() && !stream.eof()) {
      std::fprintf(stderr, "cannot read %s\n", file.c_str());
      return 2;
    }
    std::fprintf(stderr, "%s\n", file.c_str());
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t *>(bytes.data()), bytes.size());
  }
  std::fprintf(stderr, "%zu inputs replayed\n", files.size());
  return files.empty() ? 2 : 0;
}
