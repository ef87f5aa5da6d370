// The scan check and the remedy search, without a window:
//   Check/W2/logo512: one code made and judged (encode, stretch, logo,
//     composite, the three readers, zbar in both greys, and the damage
//     count), W2 under a 512 x 512 picture logo: the library's share of one
//     generation.
//     The check includes the modules' size and the three phone captures,
//     each read by zxing-cpp and wechat_qrcode.
//   Search/<case>: one whole search for options that scan, from a first
//     code that does not; the cases are the causes the check names, codes
//     only wechat_qrcode does not read, a short text at a fixed large
//     version, and the longest searches we know (every candidate read,
//     none passes).
//   Capture/<kind>: one phone capture of that composite (blur, the frame
//     seen at a slant, noise, the JPEG frame), as the check makes three.
//   Print/scale<N>/<png|bmp|svg>: that code drawn N times larger for print
//     (the logo from its 512 x 512 picture) and encoded as a file, or as the
//     vector picture, drawn by Qt SVG and that drawing checked (N 1).
//   Logo/jpeg7000/<whole|shown>: a 7000 x 7000 JPEG logo loaded whole, or
//     decoded at the size of the logo box.
#include "CodeForPrint.h"
#include "CodeSearch.h"
#include "ImageFile.h"
#include "LogoImage.h"
#include "PhoneCaptures.h"
#include "TestSupport.h"
#include "Workloads.h"

#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QTemporaryDir>

#include <random>

namespace zub::bench {
namespace {

enum class LogoKind { Picture, Noise, White };

// A picture-like logo (the tests' painted one); camera noise; or a plain
// white square.
QImage Logo(LogoKind kind) {
  if (kind == LogoKind::Picture)
    return test::PaintedLogo();
  QImage logo(512, 512, QImage::Format_RGB32);
  if (kind == LogoKind::White) {
    logo.fill(Qt::white);
    return logo;
  }
  std::mt19937 rng(7);
  for (int y = 0; y < 512; ++y)
    for (int x = 0; x < 512; ++x)
      logo.setPixel(x, y,
                    qRgb(static_cast<int>(rng() % 256), static_cast<int>(rng() % 256),
                         static_cast<int>(rng() % 256)));
  return logo;
}

QString Text(const std::vector<std::uint8_t> &bytes) {
  return QString::fromUtf8(reinterpret_cast<const char *>(bytes.data()),
                           static_cast<qsizetype>(bytes.size()));
}

void Check(benchmark::State &state) {
  const CodeSource source{
      Text(Workloads()[1].bytes), {}, LogoInBox(Logo(LogoKind::Picture), kLogoBoxRect.size())};
  QrEncoder encoder;
  for (auto _ : state) {
    const MadeCode code = MakeCode(encoder, source, {0, kLevelM, 0, TextEncoding::Utf8, 0}, true);
    benchmark::DoNotOptimize(code.report);
  }
}

void Capture(benchmark::State &state, CaptureKind kind) {
  const CodeSource source{
      Text(Workloads()[1].bytes), {}, LogoInBox(Logo(LogoKind::Picture), kLogoBoxRect.size())};
  QrEncoder encoder;
  const MadeCode code = MakeCode(encoder, source, {0, kLevelM, 0, TextEncoding::Utf8, 0}, false);
  for (auto _ : state) {
    const QImage shot = PhoneCapture(code.composite, kind);
    benchmark::DoNotOptimize(shot.constBits());
  }
}

void Print(benchmark::State &state, int scale, ImageFileFormat format, bool vector) {
  const QImage logo = Logo(LogoKind::Picture);
  const CodeSource source{Text(Workloads()[1].bytes), {}, LogoInBox(logo, kLogoBoxRect.size())};
  QrEncoder encoder;
  const MadeCode code = MakeCode(encoder, source, {0, kLevelM, 0, TextEncoding::Utf8, 0}, false);
  const QImage logoAtScale = LogoInBox(logo, kLogoBoxRect.size() * scale);
  for (auto _ : state) {
    if (vector) {
      const VectorCode svg = MakeVectorCode(code, source, logo);
      benchmark::DoNotOptimize(svg.rendering.constBits());
    } else {
      const QImage large = PrintComposite(code, source, logoAtScale, scale);
      const QByteArray bytes = EncodeImageFile(large, format, CompositeDotsPerInch(scale));
      benchmark::DoNotOptimize(bytes.constData());
    }
  }
}

struct SearchCase {
  const char *name;
  QString text;
  LogoKind logo;
  CodeOptions options;
};

void Search(benchmark::State &state, const SearchCase &c) {
  const CodeSource source{c.text, {}, LogoInBox(Logo(c.logo), kLogoBoxRect.size())};
  QrEncoder encoder;
  const MadeCode first = MakeCode(encoder, source, c.options, true);
  RemedySearch search;
  for (auto _ : state) {
    search = FindReadableCode(encoder, source, first);
    benchmark::DoNotOptimize(search.found);
  }
  state.counters["made"] = search.made;
  state.counters["read"] = search.read;
  state.counters["found"] = search.found ? 1 : 0;
  state.counters["out_of_time"] = search.outOfTime ? 1 : 0;
}

// A phone photo's worth of JPEG: 7000 x 7000 pixels of smooth colour.
QString BigJpeg(const QTemporaryDir &dir) {
  const QString path = dir.filePath(QStringLiteral("big.jpg"));
  QImage big(7000, 7000, QImage::Format_RGB32);
  for (int y = 0; y < big.height(); ++y) {
    auto *line = reinterpret_cast<QRgb *>(big.scanLine(y));
    for (int x = 0; x < big.width(); ++x)
      line[x] = qRgb(x * 255 / 7000, y * 255 / 7000, (x + y) * 255 / 14000);
  }
  big.save(path, "JPG", 90);
  return path;
}

void LoadBigLogo(benchmark::State &state, const QString &path, bool shown) {
  for (auto _ : state) {
    const LogoLoad load = shown ? LoadLogo(path, kLogoBoxRect.size()) : LoadLogo(path);
    benchmark::DoNotOptimize(load.image);
  }
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
  for (const auto &[name, kind] : {std::pair{"Capture/distant", CaptureKind::Distant},
                                   std::pair{"Capture/tilted", CaptureKind::Tilted},
                                   std::pair{"Capture/shaky", CaptureKind::Shaky}})
    benchmark::RegisterBenchmark(name, Capture, kind)->Unit(benchmark::kMicrosecond);
  benchmark::RegisterBenchmark("Print/scale8/png", Print, 8, ImageFileFormat::Png, false)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("Print/scale8/bmp", Print, 8, ImageFileFormat::Bmp, false)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("Print/scale16/png", Print, 16, ImageFileFormat::Png, false)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("Print/scale1/svg", Print, 1, ImageFileFormat::Png, true)
      ->Unit(benchmark::kMillisecond);
  static const SearchCase cases[] = {
      {"level/1-M",
       QStringLiteral("生成器"),
       LogoKind::Picture,
       {0, kLevelM, 0, TextEncoding::Utf8, 0}},
      {"gbk", QStringLiteral("中文"), LogoKind::Picture, {0, kLevelM, 0, TextEncoding::Ansi, 0}},
      {"eci", QStringLiteral("中国"), LogoKind::Picture, {0, kLevelM, 0, TextEncoding::Utf8, 0}},
      {"none/40-M", Filler(1800), LogoKind::Picture, {40, kLevelM, 0, TextEncoding::Utf8, 0}},
      {"ansi/30-M-noisy", Filler(1000), LogoKind::Noise, {30, kLevelM, 0, TextEncoding::Ansi, 0}},
      {"larger/25-M-noisy", Filler(700), LogoKind::Noise, {25, kLevelM, 0, TextEncoding::Utf8, 0}},
      {"none/39-L", Filler(1500), LogoKind::Picture, {39, kLevelL, 0, TextEncoding::Utf8, 0}},
      {"ansi/25-L", Filler(600), LogoKind::Picture, {25, kLevelL, 0, TextEncoding::Ansi, 0}},
      // A short text at a version fixed far above what it needs.
      {"smaller/40-M",
       QStringLiteral("https://example.com/"),
       LogoKind::Picture,
       {40, kLevelM, 0, TextEncoding::Utf8, 0}},
      // zxing-cpp and zbar read these, wechat_qrcode does not.
      {"wechat/30-M-white", Filler(800), LogoKind::White, {30, kLevelM, 0, TextEncoding::Utf8, 26}},
      {"wechat/38-M-white",
       Filler(1120),
       LogoKind::White,
       {38, kLevelM, 0, TextEncoding::Utf8, 26}},
  };
  for (const SearchCase &c : cases)
    benchmark::RegisterBenchmark((std::string("Search/") + c.name).c_str(), Search, c)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(1)
        ->Repetitions(5)
        ->ReportAggregatesOnly(true)
        ->UseRealTime();
  QTemporaryDir dir;
  const QString jpeg = BigJpeg(dir);
  for (const bool shown : {false, true})
    benchmark::RegisterBenchmark(shown ? "Logo/jpeg7000/shown" : "Logo/jpeg7000/whole", LoadBigLogo,
                                 jpeg, shown)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(1)
        ->Repetitions(3)
        ->ReportAggregatesOnly(true)
        ->UseRealTime();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
