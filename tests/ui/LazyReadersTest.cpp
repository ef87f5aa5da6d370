// The window's readers come from their module on first use: this program is
// linked like the window (its own Readers(), libraries only as needed) and
// lies beside the module as the window does.

#include "LazyReaders.h"
#include "QrEncoder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

bool Mapped(const char *library) {
  QFile maps(QStringLiteral("/proc/self/maps"));
  return maps.open(QIODevice::ReadOnly) && maps.readAll().contains(library);
}

} // namespace

TEST(LazyReaders, LoadedOnFirstUseAndReadingBothWays) {
  // Nothing of either reader before the first call.
  EXPECT_FALSE(Mapped("libZXing"));
  EXPECT_FALSE(Mapped("libzbar"));

  const zub::ReaderCalls *readers = zub::Readers();
  ASSERT_NE(readers, nullptr);
  EXPECT_EQ(zub::Readers(), readers); // loaded once
  EXPECT_TRUE(Mapped("libZXing"));

  const std::string text = "http://www.zub.example/?q=生成";
  zub::QrEncoder coder;
  const zub::Picture symbol = coder.MakeSymbol(reinterpret_cast<const std::uint8_t *>(text.data()),
                                               static_cast<int>(text.size()), 0, zub::kLevelM, 0);
  ASSERT_FALSE(symbol.isNull());
  // Four pixels a module, as a reader likes it.
  const int scale = 4;
  QImage grey(symbol.width() * scale, symbol.height() * scale, QImage::Format_Grayscale8);
  for (int y = 0; y < grey.height(); ++y)
    for (int x = 0; x < grey.width(); ++x)
      grey.scanLine(y)[x] =
          symbol.bits()[static_cast<std::size_t>((y / scale) * symbol.bytesPerLine() + x / scale)];

  const auto codes = readers->zxing(grey, 1);
  ASSERT_EQ(codes.size(), 1u);
  EXPECT_EQ(codes[0].bytes, text);

  const auto width = static_cast<std::size_t>(grey.width());
  std::vector<std::uint8_t> pixels(width * static_cast<std::size_t>(grey.height()));
  for (int y = 0; y < grey.height(); ++y)
    std::memcpy(pixels.data() + static_cast<std::size_t>(y) * width, grey.constScanLine(y), width);
  const auto found = readers->zbar(pixels, static_cast<unsigned>(grey.width()),
                                   static_cast<unsigned>(grey.height()), true);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0], text);
}

// A module that is not there, or not one: null, and the reason names the
// right place: every place looked in when it lies nowhere, the place where
// it lies when it does not load there, though a later place was tried too.
TEST(LazyReaders, AMissingOrEmptyModuleIsNamedWhereItWasLookedFor) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const std::string first = dir.filePath(QStringLiteral("bin/zubqr-readers.so")).toStdString();
  const std::string second =
      dir.filePath(QStringLiteral("lib/zubqr-gui/zubqr-readers.so")).toStdString();
  zub::ReadersProblem problem;
  EXPECT_EQ(zub::LoadReadersFrom({first, second}, problem), nullptr);
  EXPECT_EQ(problem.module, "zubqr-readers.so");
  EXPECT_EQ(problem.places, (std::vector<std::string>{first, second}));
  EXPECT_TRUE(problem.brokenAt.empty());

  ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("bin")));
  QFile empty(QString::fromStdString(first));
  ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
  empty.close();
  EXPECT_EQ(zub::LoadReadersFrom({first, second}, problem), nullptr);
  EXPECT_EQ(problem.brokenAt, first);
  EXPECT_FALSE(problem.reason.empty());

  ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("lib/zubqr-gui")));
  ASSERT_TRUE(QFile::rename(QString::fromStdString(first), QString::fromStdString(second)));
  EXPECT_EQ(zub::LoadReadersFrom({first, second}, problem), nullptr);
  EXPECT_EQ(problem.brokenAt, second);
}
