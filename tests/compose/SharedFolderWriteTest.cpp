// The file writer in a folder every user may write, with the sticky bit
// (/tmp is one): another user may plant links, pipes and files there under
// the names the writer will use. The writer follows links itself and opens
// existing pipes and shared files without O_CREAT, past the kernel's own
// protections for such folders, so it applies them itself: to every link on
// the way, a folder's or the last one, before anything is opened.
//
// The writer is "nobody", the other user a number of no account; both are
// played by root (see OtherUsers.h), so these cases need root.
#include "FileWrite.h"
#include "OtherUsers.h"
#include "WriteWords.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace zub {
namespace {

using test::kOtherUid;
using test::kWriterUid;

const std::string kPicture = "the writer's picture, for no one else";
const std::string kTheirs = "what the other user had there";
// No English word belongs in a Chinese sentence.
constexpr const char *kLatinLetters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

std::string Read(const std::string &path) {
  QFile file(QString::fromStdString(path));
  return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : "<unreadable>";
}

class SharedFolder : public ::testing::Test {
protected:
  void SetUp() override {
    if (!test::CanPlayTwoUsers())
      GTEST_SKIP() << "only root can play the writer and another user";
    ASSERT_TRUE(dir_.isValid());
    root_ = dir_.path().toStdString();
    // Both users pass through the test's folder; nothing else is theirs.
    ASSERT_EQ(::chmod(root_.c_str(), 0711), 0);
    // /tmp as it is: root's, everyone's to write, sticky.
    MakeFolder("shared", 0, 01777);
    // The other user's own folder, open to all, where the planted links lead.
    MakeFolder("loot", kOtherUid, 0777);
    // The writer's own folder.
    MakeFolder("mine", kWriterUid, 0755);
  }

  std::string Path(const std::string &name) const { return root_ + "/" + name; }
  void MakeFolder(const std::string &name, uid_t owner, mode_t mode) {
    ASSERT_EQ(::mkdir(Path(name).c_str(), 0700), 0);
    ASSERT_TRUE(test::GiveTo(Path(name).c_str(), owner, mode));
  }
  void Link(const std::string &name, const std::string &text, uid_t owner) {
    ASSERT_EQ(::symlink(text.c_str(), Path(name).c_str()), 0);
    ASSERT_TRUE(test::GiveTo(Path(name).c_str(), owner));
  }
  void Pipe(const std::string &name, uid_t owner) {
    ASSERT_EQ(::mkfifo(Path(name).c_str(), 0600), 0);
    ASSERT_TRUE(test::GiveTo(Path(name).c_str(), owner, 0666));
  }
  void File(const std::string &name, uid_t owner) {
    QFile file(QString::fromStdString(Path(name)));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(kTheirs.data(), static_cast<qint64>(kTheirs.size()));
    file.close();
    ASSERT_TRUE(test::GiveTo(Path(name).c_str(), owner, 0666));
  }
  std::string Entries(const std::string &folder) const {
    return QDir(QString::fromStdString(Path(folder)))
        .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System)
        .join(' ')
        .toStdString();
  }
  // The writer writes `name`, as the command line does (into a pipe or a
  // device where one is named); the failure it met.
  WriteFailure WriteAsWriter(const std::string &name) const {
    const std::string path = Path(name);
    const int status = test::AsUser(kWriterUid, [&path] {
      WriteOptions options;
      options.intoSpecialFiles = true;
      return static_cast<int>(WriteWholeFile(path, kPicture, options).failure);
    });
    EXPECT_LT(status, 64) << "the writer died or could not start: " << status;
    return static_cast<WriteFailure>(status);
  }

  QTemporaryDir dir_;
  std::string root_;
};

// Another user's link, wherever it stands on the path in the shared folder,
// is not followed: as a folder ("/shared/codes/mine.png" with codes -> her
// folder), reached through the writer's own links, or as the last part
// naming a pipe, a device or a file. Her pipe hears nothing, her folder
// gets nothing, the links stay.
TEST_F(SharedFolder, AnotherUsersLinkIsNotFollowedAnywhereOnThePath) {
  Link("shared/codes", Path("loot"), kOtherUid);
  Link("mine/way", "../shared/codes", kWriterUid);
  Link("shared/own-link", "codes/mine.png", kWriterUid);
  Pipe("loot/fifo", kOtherUid);
  Link("shared/code.png", Path("loot/fifo"), kOtherUid);
  const bool haveDevice = ::mknod(Path("loot/null").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0 &&
                          test::GiveTo(Path("loot/null").c_str(), kOtherUid, 0666);
  Link("shared/null.png", Path("loot/null"), kOtherUid);
  File("mine/thesis.txt", kWriterUid);
  Link("shared/qr.png", Path("mine/thesis.txt"), kOtherUid);
  const std::string lootBefore = Entries("loot");

  // Were the writer to open her pipe, it would not wait for a reader: this
  // one hears whatever comes.
  const int ear = ::open(Path("loot/fifo").c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(ear, 0);
  struct Case {
    const char *what;
    const char *name;
    WriteFailure failure;
  };
  for (const Case &c : {
           Case{"her link as a folder", "shared/codes/mine.png", WriteFailure::UnsafeFolderLink},
           Case{"her folder link behind the writer's own link", "mine/way/mine.png",
                WriteFailure::UnsafeFolderLink},
           Case{"her folder link in the text of the writer's link", "shared/own-link",
                WriteFailure::UnsafeFolderLink},
           Case{"her link to her pipe", "shared/code.png", WriteFailure::UnsafeLink},
           Case{"her link to a device", "shared/null.png", WriteFailure::UnsafeLink},
           Case{"her link to the writer's file", "shared/qr.png", WriteFailure::UnsafeLink},
       }) {
    SCOPED_TRACE(c.what);
    if (std::string(c.name) == "shared/null.png" && !haveDevice)
      continue;
    EXPECT_EQ(WriteAsWriter(c.name), c.failure);
  }
  char heard[64];
  EXPECT_LE(::read(ear, heard, sizeof heard), 0);
  ::close(ear);
  EXPECT_EQ(Entries("loot"), lootBefore);
  EXPECT_EQ(Read(Path("mine/thesis.txt")), kTheirs);
  for (const char *link : {"shared/codes", "mine/way", "shared/code.png", "shared/qr.png"}) {
    struct stat st {};
    EXPECT_TRUE(::lstat(Path(link).c_str(), &st) == 0 && S_ISLNK(st.st_mode)) << link;
  }

  // The words say what was refused, in both languages.
  for (WriteFailure failure : {WriteFailure::UnsafeFolderLink, WriteFailure::UnsafeLink}) {
    const std::string chinese = WriteFailureWords({failure, 0}, Language::Chinese);
    const std::string english = WriteFailureWords({failure, 0}, Language::English);
    EXPECT_NE(chinese.find("共享文件夹"), std::string::npos) << chinese;
    EXPECT_NE(english.find("another user's symbolic link"), std::string::npos) << english;
    EXPECT_EQ(chinese.find_first_of(kLatinLetters), std::string::npos) << chinese;
  }
  EXPECT_NE(WriteFailureWords({WriteFailure::UnsafeFolderLink, 0}, Language::English)
                .find("folder on the way"),
            std::string::npos);
}

// The links the kernel would follow still are: the writer's own in the
// shared folder, and in a shared folder of the other user's own, hers.
TEST_F(SharedFolder, TheWritersAndTheFolderOwnersLinksAreFollowed) {
  Link("shared/my-codes", Path("mine"), kWriterUid);
  MakeFolder("hers", kOtherUid, 01777);
  Link("hers/codes", Path("mine"), kOtherUid);
  File("mine/b.png", kWriterUid);
  Link("shared/my-code.png", Path("hers/codes/b.png"), kWriterUid);
  for (const char *name : {"shared/my-codes/a.png", "shared/my-code.png"})
    EXPECT_EQ(WriteAsWriter(name), WriteFailure::None) << name;
  EXPECT_EQ(Read(Path("mine/a.png")), kPicture);
  EXPECT_EQ(Read(Path("mine/b.png")), kPicture);
}

// A pipe or a file the other user left in the shared folder is not written
// into (the kernel's protected-FIFO and protected-regular rules): not a
// pipe she listens at, not a file of hers, even one of two names that an
// in-place update would open. The writer's own pipe and file are written.
TEST_F(SharedFolder, AnotherUsersPipeOrFileIsNotWrittenInto) {
  Pipe("shared/pipe.png", kOtherUid);
  File("shared/plain.png", kOtherUid);
  File("shared/linked.png", kOtherUid);
  ASSERT_EQ(::link(Path("shared/linked.png").c_str(), Path("loot/linked-too.png").c_str()), 0);
  Pipe("shared/own-pipe.png", kWriterUid);
  File("shared/own.png", kWriterUid);

  const int ear = ::open(Path("shared/pipe.png").c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  const int ownEar = ::open(Path("shared/own-pipe.png").c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(ear, 0);
  ASSERT_GE(ownEar, 0);
  struct Case {
    const char *name;
    WriteFailure failure;
  };
  for (const Case &c : {Case{"shared/pipe.png", WriteFailure::OthersFile},
                        Case{"shared/plain.png", WriteFailure::OthersFile},
                        Case{"shared/linked.png", WriteFailure::OthersFile},
                        Case{"shared/own-pipe.png", WriteFailure::None},
                        Case{"shared/own.png", WriteFailure::None}})
    EXPECT_EQ(WriteAsWriter(c.name), c.failure) << c.name;

  char heard[256];
  EXPECT_LE(::read(ear, heard, sizeof heard), 0);
  const ssize_t got = ::read(ownEar, heard, sizeof heard);
  EXPECT_EQ(std::string(heard, static_cast<std::size_t>(std::max<ssize_t>(got, 0))), kPicture);
  ::close(ear);
  ::close(ownEar);
  EXPECT_EQ(Read(Path("shared/plain.png")), kTheirs);
  EXPECT_EQ(Read(Path("loot/linked-too.png")), kTheirs);
  EXPECT_EQ(Read(Path("shared/own.png")), kPicture);

  const std::string chinese = WriteFailureWords({WriteFailure::OthersFile, 0}, Language::Chinese);
  const std::string english = WriteFailureWords({WriteFailure::OthersFile, 0}, Language::English);
  EXPECT_NE(chinese.find("共享文件夹"), std::string::npos) << chinese;
  EXPECT_EQ(chinese.find_first_of(kLatinLetters), std::string::npos) << chinese;
  EXPECT_NE(english.find("another user's file"), std::string::npos) << english;
}

} // namespace
} // namespace zub
