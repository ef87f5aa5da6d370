// MakeSymbol with automatic version and mask 0, the picture included.
#include "Workloads.h"

#include <benchmark/benchmark.h>

namespace {

void BM_MakeSymbol(benchmark::State &state, const zub::bench::Workload &w) {
  zub::QrEncoder qr;
  int version = 0;
  for (auto _ : state) {
    zub::Picture p =
        qr.MakeSymbol(w.bytes.data(), static_cast<int>(w.bytes.size()), 0, w.ecLevel, 0);
    benchmark::DoNotOptimize(p.bits());
    version = p.facts().version;
  }
  state.counters["version"] = version;
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(w.bytes.size()));
}

const bool registered = [] {
  for (const auto &w : zub::bench::Workloads())
    benchmark::RegisterBenchmark((std::string("MakeSymbol/") + w.name).c_str(), BM_MakeSymbol, w);
  return true;
}();

} // namespace

BENCHMARK_MAIN();
