// --threads bounds the scan check too: compose, one code or a batch, never
// has more readers at work at once than the threads asked for, and with
// one thread every reader runs on the thread that checks the code. The
// readers are watched through the check's seam, in this process; the files
// do not depend on the threads.
#include "Commands.h"
#include "Readers.h"
#include "ScanCheck.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <set>
#include <thread>

namespace zub::cli {
namespace {

// The linked readers, each call counted while it runs and its thread noted.
struct Watch {
  static inline const ReaderCalls *real = nullptr;
  static inline std::atomic<int> running{0}, most{0};
  static inline std::mutex mutex;
  static inline std::set<std::thread::id> threads;

  static void Reset() {
    most = 0;
    std::lock_guard lock(mutex);
    threads.clear();
  }
  struct Call {
    Call() {
      const int now = ++running;
      int seen = most.load();
      while (now > seen && !most.compare_exchange_weak(seen, now)) {
      }
      std::lock_guard lock(mutex);
      threads.insert(std::this_thread::get_id());
    }
    ~Call() { --running; }
    Call(const Call &) = delete;
    Call &operator=(const Call &) = delete;
  };
  static std::vector<ReaderCalls::Code> Zxing(const QImage &grey, int most) {
    Call call;
    return real->zxing(grey, most);
  }
  static std::vector<std::string> Zbar(const std::vector<std::uint8_t> &pixels, unsigned width,
                                       unsigned height, bool binary) {
    Call call;
    return real->zbar(pixels, width, height, binary);
  }
  static std::vector<std::string> Wechat(const QImage &grey) {
    Call call;
    return real->wechat(grey);
  }
};

class CheckThreads : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    Watch::real = Readers();
    ASSERT_NE(Watch::real, nullptr);
    logo = dir.filePath(QStringLiteral("logo.png"));
    ASSERT_TRUE(test::SampleLogo().save(logo));
    QFile lines(dir.filePath(QStringLiteral("lines.txt")));
    ASSERT_TRUE(lines.open(QIODevice::WriteOnly));
    for (int i = 1; i <= 6; ++i)
      lines.write(QStringLiteral("Ticket %1, seat %2\n").arg(i).arg(i * 3).toUtf8());
  }
  std::string Path(const QString &name) const { return dir.filePath(name).toStdString(); }
  QByteArray Bytes(const QString &name) const {
    QFile file(dir.filePath(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }

  QTemporaryDir dir;
  QString logo;
  const ReaderCalls watched{&Watch::Zxing, &Watch::Zbar, &Watch::Wechat, nullptr};
};

TEST_F(CheckThreads, NeverMoreReadersAtWorkThanThreadsAskedFor) {
  const ReadersForTest seam(watched);
  for (const int threads : {1, 2, 3}) {
    SCOPED_TRACE(threads);
    const std::string n = std::to_string(threads);
    const QString out = QStringLiteral("out%1").arg(threads);
    ASSERT_TRUE(QDir(dir.path()).mkdir(out));
    const struct {
      const char *what;
      std::vector<std::string> args;
      bool batch; // checked on the batch's threads, else on this one
    } runs[] = {
        {"a batch",
         {"-l", "H", "--batch", Path("lines.txt"), "--logo", logo.toStdString(), "-o", Path(out),
          "--threads", n},
         true},
        {"one code",
         {"-l", "H", "Ticket 9", "--logo", logo.toStdString(), "-o", Path(out + "/one.png"),
          "--threads", n},
         false},
        {"one code, --readable",
         {"--readable", "Ticket 10", "--logo", logo.toStdString(), "-o",
          Path(out + "/readable.png"), "--threads", n},
         false},
    };
    for (const auto &run : runs) {
      SCOPED_TRACE(run.what);
      Watch::Reset();
      EXPECT_EQ(Compose(run.args), 0);
      EXPECT_GE(Watch::most.load(), 1);
      EXPECT_LE(Watch::most.load(), threads);
      // One thread: the readers run where the code is checked, and nowhere
      // else.
      if (threads == 1) {
        std::lock_guard lock(Watch::mutex);
        EXPECT_EQ(Watch::threads.size(), 1u);
        if (!run.batch) {
          EXPECT_EQ(Watch::threads.count(std::this_thread::get_id()), 1u);
        }
      }
    }
  }
  // The same files whatever the threads.
  for (const QString &name : QDir(dir.filePath(QStringLiteral("out1"))).entryList(QDir::Files)) {
    SCOPED_TRACE(name.toStdString());
    const QByteArray one = Bytes(QStringLiteral("out1/") + name);
    EXPECT_FALSE(one.isEmpty());
    EXPECT_EQ(Bytes(QStringLiteral("out2/") + name), one);
    EXPECT_EQ(Bytes(QStringLiteral("out3/") + name), one);
  }
}

} // namespace
} // namespace zub::cli
