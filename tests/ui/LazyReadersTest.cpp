// The window's readers come from their module on first use: this program is
// linked like the window (its own Readers(), libraries only as needed) and
// lies beside the module as the window does.

#include "LazyReaders.h"
#include "QrEncoder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

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

  // The WeChat engine from its own module beside the readers': the readers'
  // module links nothing of OpenCV.
  ASSERT_NE(readers->wechat, nullptr) << readers->wechatProblem->reason;
  EXPECT_EQ(readers->wechat(grey), std::vector<std::string>{text});
  EXPECT_TRUE(Mapped("zubqr-wechat.so"));
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

namespace {

// The readers' module this program lies beside, copied to `to` with
// `mode`; false when it could not be.
bool CopyModule(const QString &to, QFile::Permissions mode) {
  const QString built =
      QString::fromStdString(
          std::filesystem::read_symlink("/proc/self/exe").parent_path().string()) +
      "/zubqr-readers.so";
  return QDir().mkpath(QFileInfo(to).path()) && QFile::copy(built, to) &&
         QFile::setPermissions(to, mode);
}

constexpr QFile::Permissions kExecutable = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                           QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                           QFile::ExeOther;

} // namespace

// The first place that has the module is the one that counts: a broken
// module there is said, though a later place has one that works.
TEST(LazyReaders, ABrokenFirstPlaceIsSaidThoughTheSecondWorks) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const std::string first = dir.filePath(QStringLiteral("bin/zubqr-readers.so")).toStdString();
  const std::string second =
      dir.filePath(QStringLiteral("lib/zubqr-gui/zubqr-readers.so")).toStdString();
  ASSERT_TRUE(CopyModule(QString::fromStdString(second), kExecutable));
  zub::ReadersProblem problem;
  // The second alone is loaded: it works.
  EXPECT_NE(zub::LoadReadersFrom({first, second}, problem), nullptr);
  EXPECT_TRUE(problem.module.empty());

  ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("bin")));
  QFile broken(QString::fromStdString(first));
  ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
  broken.write("not a module");
  broken.close();
  EXPECT_EQ(zub::LoadReadersFrom({first, second}, problem), nullptr);
  EXPECT_EQ(problem.brokenAt, first);
  EXPECT_FALSE(problem.reason.empty());
  EXPECT_FALSE(problem.untrusted);
}

// A module another user could have put there, or could change, is not
// loaded: the place is named with what others may change.
TEST(LazyReaders, AModuleOthersCouldChangeIsNotLoaded) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const bool root = ::geteuid() == 0;
  struct Case {
    const char *what;
    mode_t folderMode;
    QFile::Permissions moduleMode;
    bool othersModule;      // the module belongs to another user
    const char *changeable; // "module", "folder", or nothing: it loads
  };
  const Case cases[] = {
      {"in a shared sticky folder", 01777, kExecutable, false, "folder"},
      {"in a folder everyone may write", 0777, kExecutable, false, "folder"},
      {"writable by everyone itself", 0755, kExecutable | QFile::WriteOther, false, "module"},
      {"another user's", 0755, kExecutable, true, "module"},
      {"the user's own", 0755, kExecutable, false, nullptr},
  };
  int n = 0;
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    if (c.othersModule && !root) {
      std::cout << "skipped (giving a file to another user needs root): " << c.what << "\n";
      continue;
    }
    const QString folder = dir.filePath(QStringLiteral("place%1").arg(n++));
    const QString module = folder + "/zubqr-readers.so";
    ASSERT_TRUE(CopyModule(module, c.moduleMode));
    if (c.othersModule) {
      ASSERT_EQ(::chown(QFile::encodeName(module).constData(), 65534, 65534), 0);
    }
    ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), c.folderMode), 0);
    zub::ReadersProblem problem;
    const zub::ReaderCalls *calls = zub::LoadReadersFrom({module.toStdString()}, problem);
    if (!c.changeable) {
      EXPECT_NE(calls, nullptr);
      continue;
    }
    EXPECT_EQ(calls, nullptr);
    EXPECT_TRUE(problem.untrusted);
    EXPECT_EQ(problem.brokenAt, module.toStdString());
    EXPECT_EQ(problem.reason,
              (std::string_view(c.changeable) == "module" ? module : folder).toStdString());
  }
}
