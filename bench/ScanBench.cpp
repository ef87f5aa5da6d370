// The scan check and the remedy search, without a window:
//   Check/W2/logo512: one code made and judged (encode, stretch, logo,
//     composite, both readers and the damage count), W2 under a 512 x 512
//     picture logo: the library's share of one generation.
//   Search/<case>: one whole search for options that scan, from a first
//     code that does not; the cases are the causes the check names, and the
//     longest searches we know (every candidate read, none passes).
#include "LogoImage.h"
#include "ScanRemedy.h"
#include "TestSupport.h"
#include "Workloads.h"

#include <benchmark/benchmark.h>

#include <QGuiApplication>

#include <random>

namespace zub::bench {
namespace {

// A picture-like logo, or camera noise.
QImage Logo(bool noisy) {
  if (noisy) {
    QImage logo(512, 512, QImage::Format_RGB32);
    std::mt19937 rng(7);
    for (int y = 0; y < 512; ++y)
      for (int x = 0; x < 512; ++x)
        logo.setPixel(x, y,
                      qRgb(static_cast<int>(rng() % 256), static_cast<int>(rng() % 256),
                           static_cast<int>(rng() % 256)));
    return logo;
  }
  return test::PaintedLogo();
}

QString Text(const std::vector<std::uint8_t> &bytes) {
  return QString::fromUtf8(reinterpret_cast<const char *>(bytes.data()),
                           static_cast<qsizetype>(bytes.size()));
}

void Check(benchmark::State &state) {
  const CodeSource source{
      Text(Workloads()[1].bytes), {}, LogoInBox(Logo(false), kLogoBoxRect.size())};
  clsQRCode encoder;
  for (auto _ : state) {
    const MadeCode code = MakeCode(encoder, source, {0, kLevelM, 0, TextEncoding::Utf8, 0}, true);
    benchmark::DoNotOptimize(code.report);
  }
}

struct SearchCase {
  const char *name;
  QString text;
  bool noisy;
  CodeOptions options;
};

void Search(benchmark::State &state, const SearchCase &c) {
  const CodeSource source{c.text, {}, LogoInBox(Logo(c.noisy), kLogoBoxRect.size())};
  clsQRCode encoder;
  const MadeCode first = MakeCode(encoder, source, c.options, true);
  RemedySearch search;
  for (auto _ : state) {
    search = FindReadableCode(encoder, source, first);
    benchmark::DoNotOptimize(search.found);
  }
  state.counters["made"] = search.made;
  state.counters["read"] = search.read;
  state.counters["found"] = search.found ? 1 : 0;
}

QString Filler(int bytes) {
  const QString pattern = QStringLiteral("Zub二维码生成器 https://zub.example.cn/第页?id=");
  QString text;
  for (int i = 0; text.toUtf8().size() < bytes; ++i)
    text += pattern[i % pattern.size()];
  return text;
}

} // namespace
} // namespace zub::bench

int main(int argc, char **argv) {
  QGuiApplication app(argc, argv);
  using namespace zub;
  using namespace zub::bench;
  benchmark::RegisterBenchmark("Check/W2/logo512", Check)
      ->Unit(benchmark::kMillisecond)
      ->Iterations(1)
      ->Repetitions(40)
      ->ReportAggregatesOnly(true)
      ->UseRealTime();
  static const SearchCase cases[] = {
      {"level/1-M", QStringLiteral("生成器"), false, {0, kLevelM, 0, TextEncoding::Utf8, 0}},
      {"gbk", QStringLiteral("中文"), false, {0, kLevelM, 0, TextEncoding::Ansi, 0}},
      {"eci", QStringLiteral("中国"), false, {0, kLevelM, 0, TextEncoding::Utf8, 0}},
      {"none/40-M", Filler(1800), false, {40, kLevelM, 0, TextEncoding::Utf8, 0}},
      {"ansi/30-M-noisy", Filler(1000), true, {30, kLevelM, 0, TextEncoding::Ansi, 0}},
      {"larger/25-M-noisy", Filler(700), true, {25, kLevelM, 0, TextEncoding::Utf8, 0}},
      {"none/39-L", Filler(1500), false, {39, kLevelL, 0, TextEncoding::Utf8, 0}},
      {"ansi/25-L", Filler(600), false, {25, kLevelL, 0, TextEncoding::Ansi, 0}},
  };
  for (const SearchCase &c : cases)
    benchmark::RegisterBenchmark((std::string("Search/") + c.name).c_str(), Search, c)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(1)
        ->Repetitions(5)
        ->ReportAggregatesOnly(true)
        ->UseRealTime();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
