// A test program that writes in the real home fails, naming what it wrote;
// one that keeps to its scratch home, or only reads, passes. The trial
// program (HomeTrial.cpp) is started with a home made here, which stands for
// the user's.

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <ostream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

struct Case {
  const char *name;
  // Made in the home beforehand, dated long ago; a name ending in '/' is a
  // folder.
  std::vector<std::string> existing;
  std::string trial; // what the trial does, paths relative to the home
  // A line of the failure's report, or empty when the run must pass.
  std::string reported;
};

void PrintTo(const Case &c, std::ostream *os) {
  *os << c.name;
}

// The files the window's dialogs, openbox and the bus once left in the real
// home, one deeper than the listing goes; and what is harmless or no test's
// doing: reading, a file that is gone again, the scratch home, the caches
// that builds and profilers keep beside the tests.
const Case kCases[] = {
    {"SettingsFileMade",
     {".config/"},
     "write .config/QtProject.conf",
     "made     HOME/.config/QtProject.conf"},
    {"CacheFileMade", {".cache/"}, "write .cache/openbox.log", "made     HOME/.cache/openbox.log"},
    {"ExistingFileRewritten", {".profile"}, "write .profile", "written  HOME/.profile"},
    {"FileRemoved", {".profile"}, "remove .profile", "removed  HOME/.profile"},
    {"FileMadeBelowTheListedDepth",
     {".local/", ".local/share/", ".local/share/app/"},
     "write .local/share/app/recent",
     "changed  HOME/.local/share/app/ (an entry was made or removed below it)"},
    {"FileWrittenAfterTheLastTest",
     {".config/"},
     "write-at-exit .config/late.conf",
     "made     HOME/.config/late.conf"},
    {"NothingDone", {".profile"}, "read .profile", ""},
    {"TemporaryFileMadeAndRemovedAgain", {".config/"}, "write-and-remove .config/x.tmp", ""},
    {"ScratchHomeWritten", {".config/"}, "write ~/.config/QtProject.conf", ""},
    {"CompilerCacheWrittenBesideTheTests",
     {".cache/", ".cache/ccache/"},
     "write .cache/ccache/stats",
     ""},
    {"ProfilersCacheWrittenBesideTheTests", {".debug/"}, "write .debug/build-id", ""},
};

class HomeCheck : public ::testing::TestWithParam<Case> {
protected:
  void SetUp() override {
    std::string pattern =
        std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") + "/home-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr) << std::strerror(errno);
    home_ = pattern;
    // Each one dated long ago, the folders last, so that a write in the
    // trial shows even on a clock that ticks coarsely.
    std::vector<std::string> folders{home_};
    for (const std::string &path : GetParam().existing) {
      const std::string full = home_ + '/' + path;
      if (path.back() == '/') {
        ASSERT_EQ(::mkdir(full.c_str(), 0700), 0) << full;
        folders.push_back(full);
      } else {
        const int fd = ::open(full.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
        ASSERT_GE(fd, 0) << full;
        ASSERT_EQ(::write(fd, "text\n", 5), 5);
        ::close(fd);
        Age(full);
      }
    }
    for (auto it = folders.rbegin(); it != folders.rend(); ++it)
      Age(*it);
  }

  static void Age(const std::string &path) {
    const timespec past[2] = {{946684800, 0}, {946684800, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), past, AT_SYMLINK_NOFOLLOW), 0) << path;
  }

  // Runs the trial with this home; its exit status and all it printed.
  std::pair<int, std::string> RunTrial(const std::string &trial) const {
    int out[2];
    if (::pipe(out) != 0)
      return {-1, "no pipe"};
    const std::string relative = trial.substr(trial.find(' ') + 1);
    const std::string act = trial.substr(0, trial.find(' '));
    const std::string target = relative.rfind("~/", 0) == 0 ? relative : home_ + '/' + relative;
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::setenv("HOME", home_.c_str(), 1);
      ::setenv("ZUB_TRIAL", (act + ' ' + target).c_str(), 1);
      ::dup2(out[1], STDOUT_FILENO);
      ::dup2(out[1], STDERR_FILENO);
      ::close(out[0]);
      ::execl(ZUB_HOME_TRIAL, ZUB_HOME_TRIAL, static_cast<char *>(nullptr));
      ::_exit(127);
    }
    ::close(out[1]);
    std::string printed;
    char buffer[4096];
    ssize_t n = 0;
    while ((n = ::read(out[0], buffer, sizeof buffer)) > 0)
      printed.append(buffer, static_cast<size_t>(n));
    ::close(out[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, printed};
  }

  std::string home_;
};

TEST_P(HomeCheck, FailsExactlyWhenTheRealHomeChanged) {
  const Case &c = GetParam();
  const auto [status, printed] = RunTrial(c.trial);
  if (c.reported.empty()) {
    EXPECT_EQ(status, 0) << printed;
  } else {
    EXPECT_NE(status, 0) << printed;
    std::string line = c.reported;
    line.replace(line.find("HOME"), 4, home_);
    EXPECT_NE(printed.find(line), std::string::npos) << "wanted: " << line << "\n" << printed;
  }
}

INSTANTIATE_TEST_SUITE_P(Trials, HomeCheck, ::testing::ValuesIn(kCases),
                         [](const auto &trial) { return std::string(trial.param.name); });

} // namespace
