// Long use: generations in a row through the window's own code path, the
// logo changing every time (PNG, JPEG, BMP and a photo-sized JPEG), with a
// save now and then. What a leak changes is the heap in use: once the first
// generations have warmed the caches, it stays where it is.

#include "HeapCount.h"
#include "Layout.h"
#include "LogoImage.h"
#include "Support.h"

#include <QFile>
#include <QTest>
#include <QThreadPool>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace zub::robust {
namespace {

// Where the injected leak's last block is kept, so that no compiler drops
// the allocation.
void *volatile gLeaked = nullptr;

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
  // Two stretches of this many generations each (a multiple of 4, so that
  // both end on the same logo); ZUB_SOAK_GENERATIONS=1000 runs a longer soak.
  const int stretch =
      qEnvironmentVariableIsSet("ZUB_SOAK_GENERATIONS")
          ? std::max(4, qEnvironmentVariableIntValue("ZUB_SOAK_GENERATIONS") / 8 * 4)
          : 100;
  // A test-only hook to show that this test sees a leak: every generation
  // then leaks one block of this many bytes. Nothing in the product reads it.
  const int injectedLeak = qEnvironmentVariableIntValue("ZUB_SOAK_INJECT_LEAK");
  constexpr int kWarmUp = 20;
  const QString logos[] = {
      Write(QStringLiteral("logo.png"), Encoded(SampleLogo(0), "png")),
      Write(QStringLiteral("logo.jpg"), Encoded(SampleLogo(1), "jpg")),
      Write(QStringLiteral("logo.bmp"), Encoded(SampleLogo(2), "bmp")),
      Write(QStringLiteral("照片.jpg"), Encoded(Photo(), "jpg")),
  };
  const QString saved = File(QStringLiteral("二维码.bmp"));
  auto text = [](int i) {
    return QStringLiteral("第%1次 https://zub.example.cn/soak?n=%1").arg(i);
  };
  // One save in the warm-up and one in each stretch: the first save lets go
  // of some memory for good, which must not hide a leak.
  auto run = [&](int i) {
    Generate(text(i), logos[i % 4]);
    if (i % stretch == 9)
      Save(saved);
    if (injectedLeak > 0)
      gLeaked = std::malloc(static_cast<std::size_t>(injectedLeak));
  };
  // The heap once all work is over: the generation's worker has let go of
  // its pictures, the messages shown so far (only the saves' success) are
  // checked and forgotten, and so are the dialogs the desktop was asked for.
  auto settle = [&] {
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
    for (const Shown &m : messages)
      EXPECT_TRUE(m.text.startsWith(QStringLiteral("二维码保存成功！"))) << m.text.toStdString();
    messages.clear();
    openRequests.clear();
    saveRequests.clear();
    return HeapInUse();
  };
  messages.reserve(4);
  openRequests.reserve(4);
  saveRequests.reserve(4);

  for (int i = 0; i < kWarmUp; ++i)
    run(i);
  // The heap after every round of the four logos, over two stretches.
  std::vector<long long> growths; // from one round to the next
  long long previous = settle();
  growths.reserve(static_cast<std::size_t>(stretch / 2));
  for (int i = kWarmUp; i < kWarmUp + 2 * stretch; ++i) {
    run(i);
    if (i % 4 == 3) {
      const long long now = settle();
      growths.push_back(now - previous);
      previous = now;
    }
  }

  const int last = kWarmUp + 2 * stretch - 1;
  EXPECT_EQ(Composite(),
            ExpectedComposite(text(last), LoadLogo(logos[last % 4], kLogoBoxRect.size()).image));

  // The typical round: sound code's caches and queues make a few rounds
  // jump by kilobytes either way (a picture still on its way, a cache
  // emptied by its timer), which the median passes over; a leak grows the
  // heap in every round alike.
  auto half = growths.begin() + static_cast<std::ptrdiff_t>(growths.size() / 2);
  auto median = [](std::vector<long long> values) {
    auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
  };
  const long long first = median({growths.begin(), half}), second = median({half, growths.end()});
  std::printf("[   SOAK   ] 2 x %d generations after %d to warm up: the heap grew by %lld B, "
              "then %lld B a round of 4 (median)\n",
              stretch, kWarmUp, first, second);
  RecordProperty("heap_growth_per_round_B", static_cast<int>(std::max(first, second)));

  // A leak of one allocation per generation grows every round by four times
  // its size, in both stretches. The smallest leak worth catching is one
  // small block (a leaked string of the message, a connection, a shared
  // pointer's count) of 64 bytes: 256 bytes a round. Sound code's typical
  // round stays within a few dozen bytes of nothing, so the bound is half
  // that smallest leak, in either stretch.
  const long long growth = std::max(first, second);
  EXPECT_LT(growth, 4 * 32) << "the heap grows by about " << growth / 4 << " bytes a generation";
}

} // namespace
} // namespace zub::robust
