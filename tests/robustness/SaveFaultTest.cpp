// Saves that cannot succeed, through "保存二维码": the user hears of each
// fault once, with the reason, and a file already at the target keeps every
// byte. Saves under names as long as the system takes still succeed.

#include "DiskFaults.h"
#include "ImageFile.h"
#include "Support.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

namespace zub::robust {
namespace {

// A small file system of its own at `path` for as long as this lives, in a
// mount namespace of the calling thread: nothing of it can outlive the test
// process, whatever happens to it.
class ScratchMount {
public:
  ScratchMount(const QString &path, const char *options, unsigned long flags = 0)
      : path_(QFile::encodeName(path)) {
    static const bool ownNamespace =
        ::unshare(CLONE_NEWNS) == 0 &&
        ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
    mounted_ = ownNamespace && QDir().mkpath(path) &&
               ::mount("tmpfs", path_.constData(), "tmpfs", flags, options) == 0;
  }
  ~ScratchMount() {
    if (mounted_)
      ::umount2(path_.constData(), MNT_DETACH);
  }
  ScratchMount(const ScratchMount &) = delete;
  ScratchMount &operator=(const ScratchMount &) = delete;
  bool mounted() const { return mounted_; }

private:
  QByteArray path_;
  bool mounted_ = false;
};

using test::kDiskFills;

const QByteArray kOldContent = QByteArray("an earlier code, kept whole ").repeated(300);

class SaveFault : public WindowTest {
protected:
  void SetUp() override {
    WindowTest::SetUp();
    Start();
    Generate(QStringLiteral("保存失败也不丢东西"),
             Write(QStringLiteral("logo.png"), Encoded(SampleLogo(), "png")));
    ASSERT_TRUE(messages.empty());
    composite = Composite();
  }

  // Saves to `path` and checks what the user sees: one error that names the
  // path and holds `reason`, and no success message.
  void ExpectFailure(const QString &path, const char *reason) {
    messages.clear();
    Save(path);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].icon, MessageIcon::Critical);
    EXPECT_EQ(messages[0].title, QStringLiteral("保存失败"));
    EXPECT_TRUE(messages[0].text.contains(path));
    EXPECT_TRUE(messages[0].text.contains(QString::fromUtf8(reason)))
        << messages[0].text.toStdString();
  }

  // Saves to `path` and checks the file holds the composite.
  void ExpectSaved(const QString &path) {
    messages.clear();
    Save(path);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].text.startsWith(QStringLiteral("二维码保存成功！")))
        << messages[0].text.toStdString();
    EXPECT_EQ(QImage::fromData(ReadFile(path), "BMP").convertToFormat(QImage::Format_RGB32),
              composite);
  }

  static QStringList Entries(const QString &folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
  }

  QImage composite;
};

TEST_F(SaveFault, EachFaultIsToldOnceAndTheFileThereKeepsEveryByte) {
  const QString folder = File(QStringLiteral("保存 位置"));
  ASSERT_TRUE(QDir().mkpath(folder + QStringLiteral("/一个文件夹.bmp")));
  const QString old = folder + QStringLiteral("/二维码");
  struct Case {
    const char *what;
    QString path;
    const char *reason;
  };
  const Case cases[] = {
      {"a folder that does not exist", folder + QStringLiteral("/不存在/二维码.bmp"),
       "文件夹不存在"},
      {"a target that is a folder", folder + QStringLiteral("/一个文件夹.bmp"), "同名的文件夹"},
      {"a name of 304 bytes", folder + QLatin1Char('/') + QString(100, QChar(0x7801)) + ".bmp",
       "文件名太长"},
      // The system would cut the name at the NUL and write "新的" or, where
      // it exists, refuse to replace "二维码" for a reason nobody understands.
      {"a name with a NUL", folder + QStringLiteral("/新的") + QChar(0) + QStringLiteral(".bmp"),
       "不允许的字符"},
      {"a name with a NUL after an existing one", old + QChar(0) + QStringLiteral(".bmp"),
       "不允许的字符"},
  };
  Write(QStringLiteral("保存 位置/二维码"), kOldContent);
  Write(QStringLiteral("保存 位置/一个文件夹.bmp/里面"), kOldContent);
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    ExpectFailure(c.path, c.reason);
  }
  EXPECT_EQ(ReadFile(old), kOldContent);
  EXPECT_EQ(ReadFile(folder + QStringLiteral("/一个文件夹.bmp/里面")), kOldContent);
  EXPECT_EQ(Entries(folder),
            (QStringList{QStringLiteral("一个文件夹.bmp"), QStringLiteral("二维码")}));

  // Afterwards saving works as ever, onto the old file too.
  ExpectSaved(old);
  EXPECT_EQ(Entries(folder),
            (QStringList{QStringLiteral("一个文件夹.bmp"), QStringLiteral("二维码")}));
}

TEST_F(SaveFault, ReadOnlyFolder) {
  const QString folder = File(QStringLiteral("只读"));
  ASSERT_TRUE(QDir().mkpath(folder));
  const QString old = Write(QStringLiteral("只读/二维码.bmp"), kOldContent);
  ASSERT_TRUE(QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner |
                                                QFileDevice::ReadOther | QFileDevice::ExeOther));
  ASSERT_TRUE(QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                    QFileDevice::ExeOwner | QFileDevice::ExeOther));
  {
    OrdinaryFileAccess ordinary;
    if (!ordinary.active() || QFile(folder + QStringLiteral("/new")).open(QIODevice::WriteOnly))
      GTEST_SKIP() << "this user writes into a read-only folder; nothing to show";
    ExpectFailure(old, "权限");
    ExpectFailure(folder + QStringLiteral("/新的.bmp"), "权限");
  }
  EXPECT_EQ(ReadFile(old), kOldContent);
  EXPECT_EQ(Entries(folder), QStringList{QStringLiteral("二维码.bmp")});
}

// A disk too small for the bitmap (552 x 409 at 24 bits is 677 kB): a tmpfs
// of 64 kB where this process may mount one, and a write that fails like a
// full disk in any case.
TEST_F(SaveFault, FullDisk) {
  struct Case {
    const char *what;
    bool injected;
  };
  for (const Case &c : {Case{"tmpfs of 64 kB", false}, Case{"injected write failure", true}}) {
    SCOPED_TRACE(c.what);
    const QString folder = File(QString::fromUtf8(c.what));
    std::optional<ScratchMount> disk;
    if (!c.injected) {
      disk.emplace(folder, "size=64k,mode=0755");
      if (!disk->mounted()) {
        std::cout << "[   NOTE   ] cannot mount a tmpfs here; the injected failure stands in\n";
        continue;
      }
    }
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString old = folder + QStringLiteral("/二维码.bmp");
    Write(QString::fromUtf8(c.what) + QStringLiteral("/二维码.bmp"), kOldContent);

    if (c.injected)
      SetFileWriterCallsForTesting(&kDiskFills);
    ExpectFailure(old, "磁盘空间不足");
    ExpectFailure(folder + QStringLiteral("/新的.bmp"), "磁盘空间不足");
    SetFileWriterCallsForTesting(nullptr);

    EXPECT_EQ(ReadFile(old), kOldContent);
    EXPECT_EQ(Entries(folder), QStringList{QStringLiteral("二维码.bmp")});
  }
}

TEST_F(SaveFault, ReadOnlyDisk) {
  const QString folder = File(QStringLiteral("只读磁盘"));
  ScratchMount disk(folder, "size=64k", MS_RDONLY);
  if (!disk.mounted())
    GTEST_SKIP() << "cannot mount a file system here";
  ExpectFailure(folder + QStringLiteral("/二维码.bmp"), "磁盘是只读的");
  EXPECT_TRUE(Entries(folder).isEmpty());
}

// The system takes names of up to 255 bytes; a file of such a name is
// written and then replaced like any other.
TEST_F(SaveFault, NamesUpToTheSystemsLimitSaveAndReplace) {
  for (int bytes : {248, 249, 253, 255}) {
    SCOPED_TRACE(bytes);
    // Chinese characters take 3 bytes, ".bmp" 4.
    const QString name = QString(bytes - 4 - (bytes - 4) / 3 * 3, QLatin1Char('x')) +
                         QString((bytes - 4) / 3, QChar(0x7801)) + QStringLiteral(".bmp");
    ASSERT_EQ(QFile::encodeName(name).size(), bytes);
    ExpectSaved(File(name));
    ExpectSaved(File(name));
    EXPECT_EQ(Entries(dir.path()).filter(QStringLiteral(".bmp")), QStringList{name});
    QFile::remove(File(name));
  }
  ExpectFailure(File(QString(256 - 4, QLatin1Char('y')) + QStringLiteral(".bmp")), "文件名太长");
}

} // namespace
} // namespace zub::robust
