// Runs one workload a fixed number of times, for instruction counts under
//   valgrind --tool=callgrind --toggle-collect='zub::QrEncoder::MakeSymbol*'
// Usage: encoder_callgrind W1..W6 [iterations]
#include "Workloads.h"

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char **argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s W1..W6 [iterations]\n", argv[0]);
    return 2;
  }
  const int iterations = argc > 2 ? std::atoi(argv[2]) : 10;
  for (const auto &w : zub::bench::Workloads()) {
    if (w.name != std::string(argv[1]))
      continue;
    zub::QrEncoder qr;
    int version = 0;
    for (int i = 0; i < iterations; ++i)
      version = qr.MakeSymbol(w.bytes.data(), static_cast<int>(w.bytes.size()), 0, w.ecLevel, 0)
                    .facts()
                    .version;
    std::printf("%s: %d calls, version %d\n", w.name, iterations, version);
    return 0;
  }
  std::fprintf(stderr, "unknown workload %s\n", argv[1]);
  return 2;
}
