// Every test program links ScratchHome.cpp (tests/CMakeLists.txt sees to it).
// Before main() it gives the process a home of its own in a scratch folder:
// HOME, the XDG folders, the runtime folder and TMPDIR point into it, and the
// session bus's address is one where no bus listens, so none is started on
// the tests' X display. The programs the tests start (the window, Xvfb,
// openbox, xdotool, the validators) inherit all of it. What a test, a library
// or one of those programs keeps "for the user" (Qt's dialog settings, a
// window manager's log, a bus's address file, caches) lands there and goes
// with the process; one that is killed or aborts leaves its folder,
// <program>.home-XXXXXX, in the temporary folder for a look.
//
// It also checks that this held: the user's real home (HOME as the process
// found it, and the home of the user's account) is listed when the process
// starts, after the last test and at exit; anything made, changed or removed
// there fails the run, named. Left alone are what builds and profilers
// running beside the tests write (the project's source and build trees, the
// compiler cache, perf's ~/.debug) and the temporary folder, should it lie in
// the home.

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <ftw.h>
#include <map>
#include <pwd.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace zub::test {
namespace {

// How far below a home the listing goes. ~/.config/QtProject.conf,
// ~/.cache/openbox/openbox.log and ~/.dbus/session-bus/<file> are within it;
// a file made deeper still changes the time of a folder within it, unless it
// lands in a folder that already existed deeper down.
constexpr int kDepth = 3;

struct Stamp {
  mode_t type = 0;
  timespec modified{};
  bool operator==(const Stamp &o) const {
    return type == o.type && modified.tv_sec == o.modified.tv_sec &&
           modified.tv_nsec == o.modified.tv_nsec;
  }
};
using Listing = std::map<std::string, Stamp>;

std::string RealPath(const std::string &path) {
  if (path.empty())
    return {};
  char *real = ::realpath(path.c_str(), nullptr);
  if (real == nullptr)
    return {};
  std::string result(real);
  std::free(real);
  return result;
}

std::string Env(const char *name) {
  const char *value = std::getenv(name);
  return value != nullptr ? value : "";
}

bool Within(const std::string &path, const std::string &folder) {
  return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
         path[folder.size()] == '/';
}

// A home under watch and the folders in it that are not the tests' to keep
// clean.
struct Watched {
  std::string home;
  std::vector<std::string> skip;
  Listing before;

  void List(const std::string &path, int depth, Listing &out) const {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
      return;
    // A folder's own time counts only where its entries are not listed:
    // above, each entry made, written or removed shows for itself, and an
    // entry made and removed again (another program's temporary file) is
    // nothing left behind.
    const bool listed = S_ISDIR(st.st_mode) && depth < kDepth;
    out[path] = {static_cast<mode_t>(st.st_mode & S_IFMT), listed ? timespec{} : st.st_mtim};
    if (!listed)
      return;
    DIR *dir = ::opendir(path.c_str());
    if (dir == nullptr)
      return;
    while (const dirent *entry = ::readdir(dir)) {
      if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0)
        continue;
      std::string child = path + '/' + entry->d_name;
      if (std::find(skip.begin(), skip.end(), child) == skip.end())
        List(child, depth + 1, out);
    }
    ::closedir(dir);
  }

  Listing Now() const {
    Listing now;
    List(home, 0, now);
    return now;
  }
};

std::string Changes(const Watched &watched) {
  const Listing after = watched.Now();
  std::vector<std::string> lines;
  for (const auto &[path, stamp] : after) {
    const auto it = watched.before.find(path);
    if (it == watched.before.end())
      lines.push_back("made     " + path);
    else if (!(it->second == stamp))
      lines.push_back((S_ISDIR(stamp.type) ? "changed  " : "written  ") + path +
                      (S_ISDIR(stamp.type) ? "/ (an entry was made or removed below it)" : ""));
  }
  for (const auto &[path, stamp] : watched.before) {
    if (after.find(path) == after.end())
      lines.push_back("removed  " + path);
  }
  std::string report;
  for (const std::string &line : lines)
    report += "  " + line + '\n';
  return report;
}

// Called by nftw: folders opened up, so that a test that took its own rights
// away leaves nothing behind. A folder that could not be read is entered
// only on the next walk.
int unreadable = 0;
int OpenUp(const char *path, const struct stat *st, int kind, FTW *) {
  if ((kind == FTW_D || kind == FTW_DNR) && (st->st_mode & S_IRWXU) != S_IRWXU)
    ::chmod(path, S_IRWXU);
  unreadable += kind == FTW_DNR ? 1 : 0;
  return 0;
}

int Remove(const char *path, const struct stat *, int, FTW *) {
  ::remove(path);
  return 0;
}

[[noreturn]] void Fail(const std::string &what) {
  std::fprintf(stderr, "%s: %s: %s\n", program_invocation_short_name, what.c_str(),
               std::strerror(errno));
  std::_Exit(2);
}

std::string Folder(const std::string &path) {
  if (::mkdir(path.c_str(), S_IRWXU) != 0)
    Fail("cannot make " + path);
  return path;
}

class ScratchHome;

// After the last test: the failure names what changed.
class HomeCheck : public ::testing::Environment {
public:
  explicit HomeCheck(ScratchHome &watched) : scratch_(watched) {}
  void TearDown() override;

private:
  ScratchHome &scratch_;
};

class ScratchHome {
public:
  ScratchHome() : owner_(::getpid()) {
    const std::string base = Env("TMPDIR").empty() ? "/tmp" : Env("TMPDIR");
    std::string pattern = base + '/' + program_invocation_short_name + ".home-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr)
      Fail("cannot make a scratch folder in " + base);
    root_ = pattern;
    Watch();
    // Others may pass through to the tests' temporary folders, as through
    // /tmp: a test that takes on an ordinary user's rights reaches its files.
    ::chmod(root_.c_str(), S_IRWXU | S_IXGRP | S_IXOTH);
    const std::string home = Folder(root_ + "/home");
    ::setenv("HOME", home.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", Folder(home + "/.config").c_str(), 1);
    ::setenv("XDG_CACHE_HOME", Folder(home + "/.cache").c_str(), 1);
    Folder(home + "/.local");
    ::setenv("XDG_DATA_HOME", Folder(home + "/.local/share").c_str(), 1);
    ::setenv("XDG_STATE_HOME", Folder(home + "/.local/state").c_str(), 1);
    const std::string runtime = Folder(root_ + "/runtime");
    ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    const std::string tmp = Folder(root_ + "/tmp");
    ::chmod(tmp.c_str(), S_IRWXU | S_IXGRP | S_IXOTH);
    ::setenv("TMPDIR", tmp.c_str(), 1);
    // With no address, the bus library starts a bus on the X display and
    // leaves its socket in /tmp; at an address where nothing listens, the
    // connection simply fails.
    ::setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + runtime + "/bus").c_str(), 1);
    ::testing::AddGlobalTestEnvironment(new HomeCheck(*this));
  }

  ~ScratchHome() {
    if (::getpid() != owner_)
      return; // a forked child's exit
    std::string changes;
    if (!reported_)
      changes = Changes();
    for (int walk = 0; walk < 8; ++walk) {
      unreadable = 0;
      ::nftw(root_.c_str(), OpenUp, 16, FTW_PHYS);
      if (unreadable == 0)
        break;
    }
    ::nftw(root_.c_str(), Remove, 16, FTW_PHYS | FTW_DEPTH);
    if (!changes.empty()) {
      std::fprintf(stderr, "%s", changes.c_str());
      std::fflush(nullptr);
      std::_Exit(1);
    }
  }

  ScratchHome(const ScratchHome &) = delete;
  ScratchHome &operator=(const ScratchHome &) = delete;

  // What changed in the watched homes since the process started, as lines
  // for a failure; empty when nothing did.
  std::string Changes() const {
    std::string report;
    for (const Watched &w : watched_)
      report += zub::test::Changes(w);
    if (report.empty())
      return report;
    return std::string("The real home changed while ") + program_invocation_short_name +
           " ran; a test or a program it started wrote outside its temporary folders (or "
           "another program of this user wrote there meanwhile: run the test alone to tell):\n" +
           report;
  }
  // Once a failure names the changes, the check at exit leaves them be.
  void Reported() { reported_ = true; }

private:
  // Watches HOME as found and the account's home, whichever exist and are
  // not the root of the file system (whose listing is the machine's, not a
  // user's).
  void Watch() {
    std::vector<std::string> homes{RealPath(Env("HOME"))};
    if (const passwd *account = ::getpwuid(::getuid()))
      homes.push_back(RealPath(account->pw_dir));
    // Written beside the tests by builds and profilers, not by them: the
    // source and build trees, the compiler cache, perf's cache of the
    // binaries it profiled; and the temporary folder the scratch folder is
    // made in, and the scratch folder itself.
    std::vector<std::string> others{RealPath(ZUB_SOURCE_DIR), RealPath(ZUB_BUILD_DIR),
                                    RealPath(Env("TMPDIR").empty() ? "/tmp" : Env("TMPDIR")),
                                    RealPath(Env("CCACHE_DIR")), RealPath(root_)};
    if (!Env("XDG_CACHE_HOME").empty())
      others.push_back(RealPath(Env("XDG_CACHE_HOME") + "/ccache"));
    for (const std::string &home : homes) {
      if (home.empty() || home == "/" ||
          std::any_of(watched_.begin(), watched_.end(),
                      [&](const Watched &w) { return w.home == home; }))
        continue;
      Watched w{home,
                {RealPath(home + "/.cache/ccache"), RealPath(home + "/.ccache"),
                 RealPath(home + "/.debug")},
                {}};
      // Only what lies inside the home is left alone: a home inside one of
      // these folders (a scratch home made for a trial run) is watched whole.
      for (const std::string &other : others) {
        if (Within(other, home))
          w.skip.push_back(other);
      }
      w.skip.erase(std::remove(w.skip.begin(), w.skip.end(), std::string()), w.skip.end());
      w.before = w.Now();
      watched_.push_back(std::move(w));
    }
  }

  pid_t owner_;
  std::string root_;
  std::vector<Watched> watched_;
  bool reported_ = false;
};

void HomeCheck::TearDown() {
  const std::string changes = scratch_.Changes();
  if (!changes.empty()) {
    scratch_.Reported();
    ADD_FAILURE() << changes;
  }
}

ScratchHome scratch;

} // namespace
} // namespace zub::test
