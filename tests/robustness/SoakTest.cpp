// Long use: generations in a row through the window's own code path, the
// logo changing every time (PNG, JPEG, BMP and a photo-sized JPEG), with a
// save now and then. Memory stays flat once the first few have warmed the
// caches. 200 generations by default; ZUB_SOAK_GENERATIONS=1000 runs the
// full soak.

#include "Support.h"

#include <QFile>
#include <QTest>

#include <malloc.h>

#include <cstddef>
#include <cstdio>

#if defined(__SANITIZE_ADDRESS__)
#define ZUB_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZUB_ASAN 1
#endif
#endif
#ifdef ZUB_ASAN
// The sanitizer's allocator statistics (GCC ships no header for them).
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace zub::robust {
namespace {

struct Memory {
  qint64 resident; // bytes, after returning free memory to the system
  qint64 heap;     // bytes the sanitizer's allocator holds for the program; 0 without it
};

Memory Measure() {
  ::malloc_trim(0);
#ifdef ZUB_ASAN
  return {ResidentBytes(), static_cast<qint64>(__sanitizer_get_current_allocated_bytes())};
#else
  return {ResidentBytes(), 0};
#endif
}

double MB(qint64 bytes) {
  return static_cast<double>(bytes) / (1024.0 * 1024.0);
}

// A photo-sized logo: 1600 x 1200, smooth colours as a camera gives them.
QImage Photo() {
  QImage photo(1600, 1200, QImage::Format_RGB32);
  for (int y = 0; y < photo.height(); ++y)
    for (int x = 0; x < photo.width(); ++x)
      photo.setPixel(x, y, qRgb(x * 255 / 1600, y * 255 / 1200, (x + y) % 256));
  return photo;
}

class Soak : public WindowTest {
protected:
  void SetUp() override {
    WindowTest::SetUp();
    Start();
  }
};

TEST_F(Soak, GenerationsInARowKeepMemoryFlat) {
  const int generations = qEnvironmentVariableIsSet("ZUB_SOAK_GENERATIONS")
                              ? qEnvironmentVariableIntValue("ZUB_SOAK_GENERATIONS")
                              : 200;
  constexpr int kWarmUp = 20;
  const QString logos[] = {
      Write(QStringLiteral("logo.png"), Encoded(SampleLogo(0), "png")),
      Write(QStringLiteral("logo.jpg"), Encoded(SampleLogo(1), "jpg")),
      Write(QStringLiteral("logo.bmp"), Encoded(SampleLogo(2), "bmp")),
      Write(QStringLiteral("照片.jpg"), Encoded(Photo(), "jpg")),
  };
  const QString saved = File(QStringLiteral("二维码.bmp"));
  auto run = [&](int i) {
    const QString text = QStringLiteral("第%1次 https://zub.example.cn/soak?n=%1").arg(i);
    Generate(text, logos[i % 4]);
    if (i % 50 == 49)
      Save(saved);
  };

  for (int i = 0; i < kWarmUp; ++i)
    run(i);
  const Memory before = Measure();
  for (int i = kWarmUp; i < kWarmUp + generations; ++i)
    run(i);
  const Memory after = Measure();

  // Every generation made its code, with nothing to complain about but the
  // success messages of the saves.
  for (const Shown &m : messages)
    EXPECT_TRUE(m.text.startsWith(QStringLiteral("二维码保存成功!"))) << m.text.toStdString();
  const int last = kWarmUp + generations - 1;
  EXPECT_EQ(Composite(),
            ExpectedComposite(QStringLiteral("第%1次 https://zub.example.cn/soak?n=%1").arg(last),
                              QImage(logos[last % 4])));

  std::printf("[   SOAK   ] %d generations after %d to warm up: resident %.1f MB -> %.1f MB",
              generations, kWarmUp, MB(before.resident), MB(after.resident));
  if (before.heap != 0)
    std::printf(", allocated %.2f MB -> %.2f MB", MB(before.heap), MB(after.heap));
  std::printf("\n");
  RecordProperty("resident_before_kB", static_cast<int>(before.resident / 1024));
  RecordProperty("resident_after_kB", static_cast<int>(after.resident / 1024));

#ifdef ZUB_ASAN
  // The sanitizer keeps freed memory in quarantine, so resident memory says
  // little; what the program holds says it exactly.
  EXPECT_LT(after.heap - before.heap, 1024 * 1024);
#else
  EXPECT_LT(after.resident - before.resident, 4 * 1024 * 1024);
#endif
}

} // namespace
} // namespace zub::robust
