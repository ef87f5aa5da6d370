#include "Batch.h"

#include "ArgumentParsing.h"
#include "DeferredFlush.h"
#include "ExitStatus.h"
#include "FileWrite.h"
#include "Messages.h"
#include "StandardStreams.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <malloc.h>
#include <map>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace zub::cli {

namespace {

// No batch file needs more: 10,000 lines of the longest message are 120 MB.
constexpr std::size_t kMaxBatchBytes = std::size_t{256} << 20;
// A regular file is read in pieces of this size.
constexpr std::size_t kReadPiece = std::size_t{1} << 20;

std::string Padded(int n, int width) {
  std::string s = std::to_string(n);
  if (static_cast<int>(s.size()) < width)
    s.insert(0, static_cast<std::size_t>(width) - s.size(), '0');
  return s;
}

std::string Replace(std::string s, std::string_view what, const std::string &with) {
  for (std::size_t at = s.find(what); at != std::string::npos; at = s.find(what, at + with.size()))
    s.replace(at, what.size(), with);
  return s;
}

// The folder a file goes in: "a/b.png" -> "a", "b.png" -> ".", "/b" -> "/".
std::string FolderOf(const std::string &path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? "." : path.substr(0, std::max<std::size_t>(slash, 1));
}

std::string BaseOf(const std::string &path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Join(const std::string &folder, const std::string &name) {
  return folder.ends_with('/') ? folder + name : folder + "/" + name;
}

// The folder as the system will find it: every link resolved, and where
// it does not exist yet, the resolved folder it will be made in and its
// name.
std::string ResolvedFolder(const std::string &folder, int depth = 0) {
  if (char *real = ::realpath(folder.c_str(), nullptr)) {
    std::string resolved = real;
    std::free(real);
    return resolved;
  }
  std::string trimmed = folder;
  while (trimmed.size() > 1 && trimmed.ends_with('/'))
    trimmed.pop_back();
  const std::string parent = FolderOf(trimmed);
  const std::string name = BaseOf(trimmed);
  if (parent == trimmed || depth > PATH_MAX / 2)
    return trimmed;
  const std::string above = ResolvedFolder(parent, depth + 1);
  if (name.empty() || name == ".")
    return above;
  if (name == "..")
    return FolderOf(above);
  return Join(above, name);
}

// The path a file named `name` in the resolved `folder` is made at: a
// dangling link there leads on to where it points.
std::string PathOnceMade(std::string folder, std::string name) {
  std::string path = Join(folder, name);
  // The kernel's own limit of links on one path.
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
      return path;
    char link[PATH_MAX];
    const ssize_t n = ::readlink(path.c_str(), link, sizeof link);
    if (n <= 0 || static_cast<std::size_t>(n) >= sizeof link)
      return path;
    const std::string to(link, static_cast<std::size_t>(n));
    const std::string next = to.starts_with('/') ? to : Join(folder, to);
    folder = ResolvedFolder(FolderOf(next));
    name = BaseOf(next);
    path = Join(folder, name);
  }
  return path;
}

// FNV-1a: identities are compared by this first, and by their words only
// where two hashes agree. `h` carries on from the hash of a text before.
constexpr std::uint64_t kHashStart = 14695981039346656037ull;
std::uint64_t Hash(std::string_view text, std::uint64_t h = kHashStart) {
  for (const char c : text) {
    h ^= static_cast<unsigned char>(c);
    h *= 1099511628211ull;
  }
  return h;
}

// The batch file, read as often as the batch needs it: a regular file is
// read again from where it started, anything else (a pipe, a terminal) is
// read once into an unnamed temporary file (or, where the system makes
// none, held as its bytes) and read again from there.
class BatchFile {
public:
  BatchFile() = default;
  BatchFile(const BatchFile &) = delete;
  BatchFile &operator=(const BatchFile &) = delete;
  ~BatchFile() {
    if (fd_ >= 0 && fd_ != STDIN_FILENO)
      ::close(fd_);
  }

  bool Open(const std::string &path, std::string &error) {
    const bool standardInput = path == "-";
    name_ = standardInput ? Say("标准输入", "standard input") : Quoted(path);
    if (standardInput && StandardInputClosed()) {
      error = Say("无法读取标准输入：它已关闭", "cannot read standard input: it is closed");
      return false;
    }
    fd_ = standardInput ? STDIN_FILENO : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0 || ::fstat(fd_, &opened_) != 0)
      return Failed(errno, error);
    if (S_ISDIR(opened_.st_mode)) {
      error = Cannot() + Say("这是一个文件夹", "it is a folder");
      return false;
    }
    if (S_ISREG(opened_.st_mode)) {
      start_ = ::lseek(fd_, 0, SEEK_CUR);
      if (start_ >= 0) {
        seekable_ = true;
        if (static_cast<std::size_t>(opened_.st_size - start_) > kMaxBatchBytes)
          return TooLarge(error);
        return true;
      }
    }
    // A pipe is read once, into an unnamed file of the temporary folder
    // where there is one, else into memory.
    const int spool = Spool();
    char piece[65536];
    std::size_t total = 0;
    for (;;) {
      const ssize_t n = ::read(fd_, piece, sizeof piece);
      if (n < 0 && errno == EINTR)
        continue;
      if (n < 0)
        return Failed(errno, error);
      if (n == 0)
        break;
      total += static_cast<std::size_t>(n);
      if (total > kMaxBatchBytes)
        return TooLarge(error);
      if (spool < 0) {
        held_.append(piece, static_cast<std::size_t>(n));
      } else if (!WriteAll(spool, piece, static_cast<std::size_t>(n))) {
        const int why = errno;
        ::close(spool);
        error = Say("无法暂存", "cannot hold ") + name_ + Say("：", ": ") + SystemError(why);
        return false;
      }
    }
    if (spool >= 0) {
      if (fd_ != STDIN_FILENO)
        ::close(fd_);
      fd_ = spool;
      seekable_ = true;
      start_ = 0;
      ::fstat(fd_, &opened_);
    }
    return true;
  }

  // Calls `each` with every line, without its line break, and its number,
  // from the first; stops where `each` returns false. False with `error`
  // when the file cannot be read.
  template <typename Each> bool EachLine(Each &&each, std::string &error) {
    int number = 0;
    if (!seekable_) {
      Split(held_, number, each);
      return true;
    }
    std::string carry;
    std::vector<char> piece(kReadPiece);
    std::size_t total = 0;
    for (off_t at = start_;;) {
      const ssize_t n = ::pread(fd_, piece.data(), piece.size(), at);
      if (n < 0 && errno == EINTR)
        continue;
      if (n < 0)
        return Failed(errno, error);
      if (n == 0)
        break;
      at += n;
      total += static_cast<std::size_t>(n);
      if (total > kMaxBatchBytes)
        return TooLarge(error);
      std::string_view bytes(piece.data(), static_cast<std::size_t>(n));
      std::size_t from = 0;
      for (std::size_t end; (end = bytes.find('\n', from)) != std::string_view::npos;
           from = end + 1) {
        const std::string_view line = bytes.substr(from, end - from);
        bool more = true;
        if (carry.empty()) {
          more = each(line, ++number);
        } else {
          carry.append(line);
          more = each(std::string_view(carry), ++number);
          carry.clear();
        }
        if (!more)
          return true;
      }
      carry.append(bytes.substr(from));
    }
    if (!carry.empty())
      each(std::string_view(carry), ++number);
    return true;
  }

  // False when a regular file was changed since it was opened: a batch
  // whose files were named from one content is not run with another.
  bool Unchanged() const {
    if (!seekable_)
      return true;
    struct stat now {};
    return ::fstat(fd_, &now) == 0 && now.st_size == opened_.st_size &&
           now.st_mtim.tv_sec == opened_.st_mtim.tv_sec &&
           now.st_mtim.tv_nsec == opened_.st_mtim.tv_nsec;
  }

  const std::string &Name() const { return name_; }

private:
  template <typename Each> static void Split(std::string_view bytes, int &number, Each &each) {
    std::size_t at = 0;
    while (at < bytes.size()) {
      const std::size_t end = std::min(bytes.find('\n', at), bytes.size());
      if (!each(bytes.substr(at, end - at), ++number))
        return;
      at = end + 1;
    }
  }

  std::string Cannot() const { return Say("无法读取", "cannot read ") + name_ + Say("：", ": "); }

  // An unnamed file, gone when closed, in TMPDIR or /tmp; -1 where the
  // system makes none.
  static int Spool() {
    const char *folder = std::getenv("TMPDIR");
    for (const char *place : {folder && folder[0] == '/' ? folder : "/tmp", "/tmp"}) {
      const int fd = ::open(place, O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
      if (fd >= 0)
        return fd;
    }
    return -1;
  }

  static bool WriteAll(int fd, const char *data, std::size_t size) {
    while (size > 0) {
      const ssize_t n = ::write(fd, data, size);
      if (n < 0 && errno == EINTR)
        continue;
      if (n <= 0)
        return false;
      data += n;
      size -= static_cast<std::size_t>(n);
    }
    return true;
  }

  bool Failed(int number, std::string &error) const {
    error = Cannot() + SystemError(number);
    return false;
  }

  bool TooLarge(std::string &error) const {
    error =
        Cannot() + Say("超过 256 MB 的批量文件不予处理", "a batch of more than 256 MB is refused");
    return false;
  }

  int fd_ = -1;
  bool seekable_ = false;
  off_t start_ = 0;
  struct stat opened_ {};
  std::string held_;
  std::string name_;
};

// "4 s", "3 min 10 s"
std::string Duration(double seconds) {
  char text[48];
  const bool chinese = MessageLanguage() == Language::Chinese;
  if (seconds < 60)
    std::snprintf(text, sizeof text, chinese ? "%.0f 秒" : "%.0f s", seconds);
  else
    std::snprintf(text, sizeof text, chinese ? "%d 分 %02d 秒" : "%d min %02d s",
                  static_cast<int>(seconds) / 60, static_cast<int>(seconds) % 60);
  return text;
}

// One line of the progress bar, drawn over the previous one.
void DrawProgress(int done, int total, double seconds) {
  constexpr int kBarWidth = 30;
  const int filled =
      total > 0 ? static_cast<int>(static_cast<long long>(done) * kBarWidth / total) : kBarWidth;
  const double rate = seconds > 0 ? done / seconds : 0;
  std::string line = "\r[" + std::string(static_cast<std::size_t>(filled), '#') +
                     std::string(static_cast<std::size_t>(kBarWidth - filled), ' ') + "] " +
                     std::to_string(done) + "/" + std::to_string(total);
  char figures[64];
  std::snprintf(figures, sizeof figures, "  %.0f/s", rate);
  line += figures;
  if (rate > 0 && done < total)
    line += "  " + Say("剩余 ", "") + Duration((total - done) / rate) + Say("", " left");
  line += "\x1b[K";
  std::fputs(line.c_str(), stderr);
  std::fflush(stderr);
}

// The lines of a batch and its jobs (lines that are not empty).
struct BatchCount {
  int lines = 0;
  std::size_t jobs = 0;
};

// Whether `line` holds a job: not empty once a CR before the line break
// is gone.
bool HoldsJob(std::string_view line) {
  return !line.empty() && line != "\r";
}

// The job of `line`, named; `error` set when it fails before it runs.
std::optional<BatchJob> NamedJob(std::string_view line, int number, const BatchSettings &settings,
                                 int lines) {
  std::optional<BatchJob> job = ParseBatchLine(line, number);
  if (job && job->error.empty())
    NameTarget(*job, settings.output, settings.suffix, lines, job->error);
  return job;
}

// Whether every backslash of `field` starts an escape Unescape knows.
bool ValidEscapes(std::string_view field) {
  for (std::size_t at = field.find('\\'); at != std::string_view::npos;
       at = field.find('\\', at + 2)) {
    const char next = at + 1 < field.size() ? field[at + 1] : '\0';
    if (next != 'n' && next != 't' && next != '\\')
      return false;
  }
  return true;
}

// The target of `line` as NamedJob names it, without its text: true when
// the line is a job that will write, its file in job.target. `job` is
// scratch, reused from line to line.
bool TargetOfLine(std::string_view line, int number, const BatchSettings &settings, int lines,
                  BatchJob &job) {
  if (line.ends_with('\r'))
    line.remove_suffix(1);
  if (line.empty())
    return false;
  job.line = number;
  job.name.reset();
  std::string_view text = line;
  if (const auto tab = line.find('\t'); tab != std::string_view::npos) {
    const std::string_view name = line.substr(0, tab);
    if (!ValidEscapes(name))
      return false;
    job.name = Unescape(name, job.error);
    text = line.substr(tab + 1);
  }
  return ValidEscapes(text) && NameTarget(job, settings.output, settings.suffix, lines, job.error);
}

// Two lines that would write one file: every line's file named and known
// by its identity (FileIdentities), compared through a hash a line, the
// only thing held for each; the few lines whose hashes agree are read
// again and compared by their identities' words. Returns the clashes, one
// message each in line order; empty when there are none.
std::vector<std::string> Clashes(BatchFile &file, const BatchSettings &settings,
                                 const BatchCount &count, bool &ok, std::string &error) {
  std::vector<std::uint64_t> hashes;
  hashes.reserve(count.jobs);
  FileIdentities identities;
  BatchJob job;
  ok = file.EachLine(
      [&](std::string_view line, int number) {
        if (TargetOfLine(line, number, settings, count.lines, job))
          hashes.push_back(identities.HashOf(job.target));
        return true;
      },
      error);
  if (!ok)
    return {};
  std::sort(hashes.begin(), hashes.end());
  std::vector<std::uint64_t> repeated;
  for (std::size_t i = 1; i < hashes.size(); ++i)
    if (hashes[i] == hashes[i - 1] && (repeated.empty() || repeated.back() != hashes[i]))
      repeated.push_back(hashes[i]);
  std::vector<std::uint64_t>().swap(hashes);
  if (repeated.empty())
    return {};

  struct Candidate {
    std::string identity;
    int line;
    std::string target;
  };
  std::vector<Candidate> candidates;
  FileIdentities again;
  ok = file.EachLine(
      [&](std::string_view line, int number) {
        if (TargetOfLine(line, number, settings, count.lines, job) &&
            std::binary_search(repeated.begin(), repeated.end(), again.HashOf(job.target)))
          candidates.push_back({again.Of(job.target), number, job.target});
        return true;
      },
      error);
  if (!ok)
    return {};
  std::stable_sort(candidates.begin(), candidates.end(),
                   [](const Candidate &a, const Candidate &b) { return a.identity < b.identity; });
  std::vector<std::pair<int, std::string>> clashes;
  for (std::size_t first = 0, i = 1; i < candidates.size(); ++i) {
    if (candidates[i].identity != candidates[first].identity) {
      first = i;
      continue;
    }
    const Candidate &a = candidates[first], &b = candidates[i];
    const std::string lines =
        std::to_string(a.line) + Say("行和第", " and ") + std::to_string(b.line);
    clashes.emplace_back(b.line,
                         a.target == b.target
                             ? Say("第", "lines ") + lines +
                                   Say("行都会写入", " would both write ") + Quoted(a.target)
                             : Say("第", "lines ") + lines +
                                   Say("行会写入同一个文件：", " would both write one file: ") +
                                   Quoted(a.target) + Say("和", " and ") + Quoted(b.target) +
                                   Say("是同一个文件", " are the same file"));
  }
  std::stable_sort(clashes.begin(), clashes.end(),
                   [](const auto &a, const auto &b) { return a.first < b.first; });
  std::vector<std::string> messages;
  for (auto &[line, message] : clashes)
    messages.push_back(std::move(message));
  return messages;
}

} // namespace

std::optional<std::string> Unescape(std::string_view field, std::string &error) {
  std::string out;
  out.reserve(field.size());
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] != '\\') {
      out += field[i];
      continue;
    }
    const char next = i + 1 < field.size() ? field[i + 1] : '\0';
    if (next == 'n')
      out += '\n';
    else if (next == 't')
      out += '\t';
    else if (next == '\\')
      out += '\\';
    else {
      error = i + 1 < field.size()
                  ? Say("未知的转义“\\", "unknown escape '\\") +
                        ForTerminal(std::string_view(&next, 1)) +
                        Say("”（请用 \\n、\\t 或 \\\\）", "' (use \\n, \\t or \\\\)")
                  : Say("末尾有一个单独的反斜杠（请用 \\\\）",
                        "a lone backslash at the end (use \\\\)");
      return std::nullopt;
    }
    ++i;
  }
  return out;
}

std::optional<BatchJob> ParseBatchLine(std::string_view line, int number) {
  if (line.ends_with('\r'))
    line.remove_suffix(1);
  if (line.empty())
    return std::nullopt;
  BatchJob job;
  job.line = number;
  std::string_view text = line;
  if (const auto tab = line.find('\t'); tab != std::string_view::npos) {
    job.name = Unescape(line.substr(0, tab), job.error);
    text = line.substr(tab + 1);
  }
  if (job.error.empty()) {
    if (auto unescaped = Unescape(text, job.error))
      job.text = std::move(*unescaped);
  }
  return job;
}

std::vector<BatchJob> ParseBatch(std::string_view bytes, int &lines) {
  std::vector<BatchJob> jobs;
  lines = 0;
  std::size_t at = 0;
  while (at < bytes.size()) {
    const std::size_t end = std::min(bytes.find('\n', at), bytes.size());
    if (auto job = ParseBatchLine(bytes.substr(at, end - at), ++lines))
      jobs.push_back(std::move(*job));
    at = end + 1;
  }
  return jobs;
}

bool NameTarget(BatchJob &job, const std::string &output, const std::string &suffix, int lines,
                std::string &error) {
  const bool pattern =
      output.find("{n}") != std::string::npos || output.find("{name}") != std::string::npos;
  const std::string number = Padded(job.line, static_cast<int>(std::to_string(lines).size()));
  const bool usesName = !pattern || output.find("{name}") != std::string::npos;
  if (usesName && job.name) {
    const std::string &name = *job.name;
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos ||
        HasControlCharacter(name)) {
      error = Say("名称", "the name ") + Quoted(name) +
              Say("不能用：文件名中不能有“/”或控制字符（换行、转义等）",
                  " is refused: a file name without '/' or control characters (a line break, "
                  "an escape) is wanted");
      return false;
    }
  }
  const std::string name = job.name ? *job.name : number;
  if (pattern) {
    job.target = Replace(Replace(output, "{n}", number), "{name}", name);
  } else {
    job.target = output;
    if (!job.target.ends_with('/'))
      job.target += '/';
    job.target += name + "." + suffix;
  }
  // "-" elsewhere means standard output; a batch writes files.
  if (job.target == "-")
    job.target = "./-";
  return true;
}

void FileIdentities::Enter(const std::string &folder) {
  if (folder == lastFolder_)
    return;
  lastFolder_ = folder;
  lastResolved_ = ResolvedFolder(folder);
  freshHash_ =
      Hash(lastResolved_.ends_with('/') ? lastResolved_ : lastResolved_ + "/", Hash("path "));
  // The folder's names, read once: asking for each of a million names
  // that are not there costs the system more than the whole listing.
  names_.clear();
  listed_ = false;
  if (DIR *list = ::opendir(lastResolved_.c_str())) {
    listed_ = true;
    while (const dirent *entry = ::readdir(list))
      names_.push_back(Hash(entry->d_name));
    ::closedir(list);
    std::sort(names_.begin(), names_.end());
  } else {
    // A folder that is not there yet holds nothing.
    listed_ = errno == ENOENT;
  }
}

bool FileIdentities::Fresh(std::string_view base) const {
  return listed_ && !std::binary_search(names_.begin(), names_.end(), Hash(base));
}

std::string FileIdentities::Of(const std::string &target) {
  Enter(FolderOf(target));
  const std::string base = BaseOf(target);
  const std::string fresh = "path " + Join(lastResolved_, base);
  if (Fresh(base))
    return fresh;
  const auto file = [](const struct stat &st) {
    return "file " + std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
  };
  struct stat st {};
  if (::lstat(target.c_str(), &st) != 0)
    return fresh;
  if (!S_ISLNK(st.st_mode))
    return file(st);
  if (::stat(target.c_str(), &st) == 0)
    return file(st);
  return "path " + PathOnceMade(lastResolved_, base);
}

std::uint64_t FileIdentities::HashOf(const std::string &target) {
  const auto slash = target.find_last_of('/');
  Enter(FolderOf(target));
  const std::string_view base = slash == std::string::npos
                                    ? std::string_view(target)
                                    : std::string_view(target).substr(slash + 1);
  // A file not there yet, as most are: its hash without its words.
  if (Fresh(base))
    return Hash(base, freshHash_);
  return Hash(Of(target));
}

int BatchThreads(int requested) {
  if (requested > 0)
    return requested;
  if (const char *env = std::getenv("ZUBQR_THREADS"))
    if (const auto n = Number(env, 1, 256))
      return *n;
  return std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
}

int RunBatch(const char *command, const BatchSettings &settings, const JobRunner &run) {
  const std::string prefix = std::string("zubqr ") + command + ": ";
  const auto fail = [&prefix](const std::string &error) {
    std::fprintf(stderr, "%s%s\n", prefix.c_str(), error.c_str());
    return kFailed;
  };
  BatchFile file;
  std::string error;
  if (!file.Open(settings.source, error))
    return fail(error);
  BatchCount count;
  if (!file.EachLine(
          [&count](std::string_view line, int number) {
            count.lines = number;
            count.jobs += HoldsJob(line);
            return true;
          },
          error))
    return fail(error);

  // Every file is named first, so that two lines aiming at one file stop
  // the batch before anything is written.
  bool read = true;
  const std::vector<std::string> clashes = Clashes(file, settings, count, read, error);
  if (!read)
    return fail(error);
  if (!clashes.empty()) {
    for (const std::string &clash : clashes)
      std::fprintf(stderr, "%s%s\n", prefix.c_str(), clash.c_str());
    return fail(Say("没有写出任何文件：请让每一行写入自己的文件",
                    "nothing was written: give each line a file of its own"));
  }
  if (!file.Unchanged())
    return fail(file.Name() + Say("在读取时被改动了，没有写出任何文件",
                                  " changed while it was read; nothing was written"));

  const bool pattern = settings.output.find("{n}") != std::string::npos ||
                       settings.output.find("{name}") != std::string::npos;
  // The folder (a pattern's, when it names one) is made when missing.
  const std::string folder = pattern ? FolderOf(settings.output) : settings.output;
  if (folder.find('{') == std::string::npos) {
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0 && errno == ENOENT)
      ::mkdir(folder.c_str(), 0777);
  }
  if (!pattern) {
    struct stat st {};
    if (::stat(settings.output.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
      return fail("-o " + Quoted(settings.output) +
                  Say("既不是文件夹，也不是含 {n} 或 {name} 的名称模式",
                      " is neither a folder nor a name pattern with {n} or {name}"));
  }

  // Each file still appears whole or not at all; the disk is asked once, at
  // the end, to hold them all.
  DeferFlush(true);
  // Every job makes pictures of the same few sizes: kept on the heap rather
  // than mapped and unmapped each time, their pages are not faulted in anew
  // for every code (a quarter of a composite's time).
  ::mallopt(M_MMAP_THRESHOLD, 32 << 20);
  ::mallopt(M_TRIM_THRESHOLD, 256 << 20);

  const int threads = std::min(BatchThreads(settings.threads),
                               static_cast<int>(std::max<std::size_t>(1, count.jobs)));
  // The lines on their way: read a few ahead of the ones reported, and
  // reported in line order as each one's turn comes.
  struct Slot {
    BatchJob job;
    JobOutcome outcome;
    dev_t device = 0; // the disk a written file is on
    bool done = false;
  };
  std::vector<Slot> ring(static_cast<std::size_t>(threads) * 16 + 16);
  std::mutex mutex;
  std::condition_variable work, room, progressed;
  std::size_t produced = 0, taken = 0, reported = 0;
  bool allProduced = false;
  // Who waits: a job of a few microseconds must not pay for waking nobody.
  int idleWorkers = 0;
  bool producerWaits = false;
  std::atomic<int> done = 0;
  const bool terminal = ::isatty(STDERR_FILENO) == 1;
  std::size_t failed = 0, unreadable = 0;
  // What was written, by disk: the folder to flush it through and how many.
  std::map<dev_t, std::pair<std::string, std::size_t>> written;

  const auto report = [&](Slot &slot) {
    const JobOutcome &outcome = slot.outcome;
    if (outcome.kind != JobOutcome::Done) {
      ++failed;
      unreadable += outcome.kind == JobOutcome::Unreadable;
    } else {
      auto &[where, files] = written[slot.device];
      if (files++ == 0)
        where = FolderOf(slot.job.target);
    }
    if (!outcome.message.empty()) {
      if (terminal)
        std::fputs("\r\x1b[K", stderr);
      std::fprintf(stderr, "%s%s%d%s%s\n", prefix.c_str(), Say("第", "line ").c_str(),
                   slot.job.line, Say("行：", ": ").c_str(), outcome.message.c_str());
    }
    slot = Slot{};
  };

  const auto worker = [&] {
    std::string lastFolder;
    dev_t lastDevice = 0;
    std::unique_lock lock(mutex);
    for (;;) {
      ++idleWorkers;
      work.wait(lock, [&] { return taken < produced || allProduced; });
      --idleWorkers;
      if (taken >= produced)
        return;
      Slot &slot = ring[taken++ % ring.size()];
      lock.unlock();
      JobOutcome outcome =
          slot.job.error.empty() ? run(slot.job) : JobOutcome{JobOutcome::Failed, slot.job.error};
      if (outcome.kind == JobOutcome::Done) {
        const std::string where = FolderOf(slot.job.target);
        if (where != lastFolder) {
          struct stat st {};
          lastFolder = where;
          lastDevice = ::stat(where.c_str(), &st) == 0 ? st.st_dev : 0;
        }
        slot.device = lastDevice;
      }
      lock.lock();
      slot.outcome = std::move(outcome);
      slot.done = true;
      ++done;
      while (reported < produced && ring[reported % ring.size()].done) {
        report(ring[reported % ring.size()]);
        ++reported;
      }
      if (producerWaits && produced - reported <= ring.size() / 2)
        room.notify_one();
    }
  };

  const auto start = std::chrono::steady_clock::now();
  std::vector<std::thread> pool;
  for (int t = 0; t < threads; ++t)
    pool.emplace_back(worker);
  std::thread bar;
  bool finished = false;
  if (terminal) {
    bar = std::thread([&] {
      std::unique_lock lock(mutex);
      while (!finished) {
        progressed.wait_for(lock, std::chrono::milliseconds(100));
        const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
        DrawProgress(done, static_cast<int>(count.jobs), seconds.count());
      }
    });
  }
  const bool readAgain = file.EachLine(
      [&](std::string_view line, int number) {
        std::optional<BatchJob> job = NamedJob(line, number, settings, count.lines);
        if (!job)
          return true;
        std::unique_lock lock(mutex);
        // A full ring is filled again once half of it is reported, not
        // one line at a time.
        if (produced - reported >= ring.size()) {
          producerWaits = true;
          room.wait(lock, [&] { return produced - reported <= ring.size() / 2; });
          producerWaits = false;
        }
        ring[produced++ % ring.size()].job = std::move(*job);
        if (idleWorkers > 0)
          work.notify_one();
        return true;
      },
      error);
  {
    std::lock_guard lock(mutex);
    allProduced = true;
  }
  work.notify_all();
  for (std::thread &t : pool)
    t.join();
  if (terminal) {
    {
      std::lock_guard lock(mutex);
      finished = true;
    }
    progressed.notify_one();
    bar.join();
    // The full bar stays above the summary.
    const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
    DrawProgress(done, static_cast<int>(count.jobs), seconds.count());
    std::fputs("\n", stderr);
  }
  if (!readAgain) {
    std::fprintf(stderr, "%s%s\n", prefix.c_str(), error.c_str());
    failed += count.jobs > produced ? count.jobs - produced : 0;
  }

  DeferFlush(false);
  for (const auto &[device, folderAndFiles] : written) {
    const auto &[where, files] = folderAndFiles;
    std::string reason;
    if (!FlushDeferred(where, reason)) {
      std::fprintf(
          stderr, "%s%s%s%s%s%zu%s\n", prefix.c_str(), Quoted(where).c_str(),
          Say("：", ": ").c_str(), reason.c_str(), Say("；", "; ").c_str(), files,
          Say(" 个文件不能确定已存入磁盘", " files are not known to be on the disk").c_str());
      failed += files;
    }
  }

  const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
  const std::size_t total = count.jobs;
  const std::string summary =
      MessageLanguage() == Language::Chinese
          ? "已写出 " + std::to_string(total - failed) + " 个，共 " + std::to_string(total) +
                " 个" + (failed > 0 ? "，" + std::to_string(failed) + " 个失败" : "") + "（用时 " +
                Duration(seconds.count()) + "）"
          : std::to_string(total - failed) + " of " + std::to_string(total) + " written" +
                (failed > 0 ? ", " + std::to_string(failed) + " failed" : "") + " (" +
                Duration(seconds.count()) + ")";
  std::fprintf(stderr, "%s%s\n", prefix.c_str(), summary.c_str());
  if (failed == 0)
    return kOk;
  return unreadable == failed ? kUnreadable : kFailed;
}

} // namespace zub::cli
