#include "Batch.h"

#include "ArgumentParsing.h"
#include "DeferredFlush.h"
#include "ExitStatus.h"
#include "FileWrite.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <malloc.h>
#include <map>
#include <mutex>
#include <set>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace zub::cli {

namespace {

// No batch file needs more: 10,000 lines of the longest message are 120 MB.
constexpr std::size_t kMaxBatchBytes = std::size_t{256} << 20;

bool ReadAll(const std::string &path, std::string &bytes, std::string &error) {
  const bool standardInput = path == "-";
  const std::string name = standardInput ? "standard input" : "'" + path + "'";
  const int fd = standardInput ? STDIN_FILENO : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    error = "cannot read " + name + ": " + strerrordesc_np(errno);
    return false;
  }
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    if (!standardInput)
      ::close(fd);
    error = "cannot read " + name + ": it is a folder";
    return false;
  }
  char buffer[65536];
  bool ok = true;
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0) {
      error = "cannot read " + name + ": " + strerrordesc_np(errno);
      ok = false;
      break;
    }
    if (n == 0)
      break;
    bytes.append(buffer, static_cast<std::size_t>(n));
    if (bytes.size() > kMaxBatchBytes) {
      error = "cannot read " + name + ": a batch of more than 256 MB is refused";
      ok = false;
      break;
    }
  }
  if (!standardInput)
    ::close(fd);
  return ok;
}

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

// "4.2 s", "3 min 10 s"
std::string Duration(double seconds) {
  char text[32];
  if (seconds < 60)
    std::snprintf(text, sizeof text, "%.0f s", seconds);
  else
    std::snprintf(text, sizeof text, "%d min %02d s", static_cast<int>(seconds) / 60,
                  static_cast<int>(seconds) % 60);
  return text;
}

// One line of the progress bar, drawn over the previous one.
void DrawProgress(int done, int total, double seconds) {
  constexpr int kBarWidth = 30;
  const int filled = total > 0 ? done * kBarWidth / total : kBarWidth;
  const double rate = seconds > 0 ? done / seconds : 0;
  std::string line = "\r[" + std::string(static_cast<std::size_t>(filled), '#') +
                     std::string(static_cast<std::size_t>(kBarWidth - filled), ' ') + "] " +
                     std::to_string(done) + "/" + std::to_string(total);
  char figures[64];
  std::snprintf(figures, sizeof figures, "  %.0f/s", rate);
  line += figures;
  if (rate > 0 && done < total)
    line += "  " + Duration((total - done) / rate) + " left";
  line += "\x1b[K";
  std::fputs(line.c_str(), stderr);
  std::fflush(stderr);
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
                  ? std::string("unknown escape '\\") + next + "' (use \\n, \\t or \\\\)"
                  : std::string("a lone backslash at the end (use \\\\)");
      return std::nullopt;
    }
    ++i;
  }
  return out;
}

std::vector<BatchJob> ParseBatch(std::string_view bytes, int &lines, const LineParser &parseLine) {
  std::vector<BatchJob> jobs;
  lines = 0;
  std::size_t at = 0;
  while (at < bytes.size()) {
    const std::size_t end = std::min(bytes.find('\n', at), bytes.size());
    std::string_view line = bytes.substr(at, end - at);
    at = end + 1;
    ++lines;
    if (line.ends_with('\r'))
      line.remove_suffix(1);
    if (line.empty())
      continue;
    BatchJob job;
    job.line = lines;
    if (parseLine) {
      parseLine(line, job);
      jobs.push_back(std::move(job));
      continue;
    }
    std::string_view text = line;
    if (const auto tab = line.find('\t'); tab != std::string_view::npos) {
      job.name = Unescape(line.substr(0, tab), job.error);
      text = line.substr(tab + 1);
    }
    if (job.error.empty()) {
      if (auto unescaped = Unescape(text, job.error))
        job.text = std::move(*unescaped);
    }
    jobs.push_back(std::move(job));
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
        name.find('\0') != std::string::npos) {
      error = "the name '" + name + "' is refused: a file name without '/' is wanted";
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
  return true;
}

int BatchThreads(int requested) {
  if (requested > 0)
    return requested;
  if (const char *env = std::getenv("ZUBQR_THREADS"))
    if (const auto n = Number(env, 1, 256))
      return *n;
  return std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
}

int RunBatch(const char *command, const BatchSettings &settings, const JobRunner &run,
             const LineParser &parseLine) {
  const std::string prefix = std::string("zubqr ") + command + ": ";
  std::string bytes, error;
  if (!ReadAll(settings.source, bytes, error)) {
    std::fprintf(stderr, "%s%s\n", prefix.c_str(), error.c_str());
    return kFailed;
  }
  int lines = 0;
  std::vector<BatchJob> jobs = ParseBatch(bytes, lines, parseLine);
  bytes.clear();
  bytes.shrink_to_fit();

  const bool pattern = settings.output.find("{n}") != std::string::npos ||
                       settings.output.find("{name}") != std::string::npos;
  // Every file is named first, so that two lines aiming at one file stop
  // the batch before anything is written.
  std::map<std::string, int> firstLine;
  std::vector<std::string> clashes;
  for (BatchJob &job : jobs) {
    if (!job.error.empty() || !NameTarget(job, settings.output, settings.suffix, lines, job.error))
      continue;
    const auto [it, fresh] = firstLine.emplace(job.target, job.line);
    if (!fresh)
      clashes.push_back("lines " + std::to_string(it->second) + " and " + std::to_string(job.line) +
                        " would both write '" + job.target + "'");
  }
  if (!clashes.empty()) {
    for (const std::string &clash : clashes)
      std::fprintf(stderr, "%s%s\n", prefix.c_str(), clash.c_str());
    std::fprintf(stderr, "%snothing was written: give each line a name of its own\n",
                 prefix.c_str());
    return kFailed;
  }

  // The folder (a pattern's, when it names one) is made when missing.
  std::string folder = settings.output;
  if (pattern) {
    const auto slash = folder.find_last_of('/');
    folder = slash == std::string::npos ? "." : folder.substr(0, std::max<std::size_t>(slash, 1));
  }
  if (folder.find('{') == std::string::npos) {
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0 && errno == ENOENT)
      ::mkdir(folder.c_str(), 0777);
  }
  if (!pattern) {
    struct stat st {};
    if (::stat(settings.output.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
      std::fprintf(stderr, "%s-o '%s' is neither a folder nor a name pattern with {n} or {name}\n",
                   prefix.c_str(), settings.output.c_str());
      return kFailed;
    }
  }

  // Each file still appears whole or not at all; the disk is asked once, at
  // the end, to hold them all.
  DeferFlush(true);
  // Every job makes pictures of the same few sizes: kept on the heap rather
  // than mapped and unmapped each time, their pages are not faulted in anew
  // for every code (a quarter of a composite's time).
  ::mallopt(M_MMAP_THRESHOLD, 32 << 20);
  ::mallopt(M_TRIM_THRESHOLD, 256 << 20);
  std::vector<JobOutcome> outcomes(jobs.size());
  std::atomic<std::size_t> next = 0;
  std::atomic<int> done = 0;
  std::mutex mutex;
  std::condition_variable progressed;
  const auto work = [&] {
    for (std::size_t i = next++; i < jobs.size(); i = next++) {
      if (!jobs[i].error.empty())
        outcomes[i] = {JobOutcome::Failed, jobs[i].error};
      else
        outcomes[i] = run(jobs[i]);
      ++done;
      progressed.notify_one();
    }
  };
  const int threads =
      std::min(BatchThreads(settings.threads), std::max(1, static_cast<int>(jobs.size())));
  const auto start = std::chrono::steady_clock::now();
  std::vector<std::thread> pool;
  for (int t = 1; t < threads; ++t)
    pool.emplace_back(work);
  const bool terminal = ::isatty(STDERR_FILENO) == 1;
  std::thread bar;
  std::atomic<bool> finished = false;
  if (terminal) {
    bar = std::thread([&] {
      std::unique_lock lock(mutex);
      while (!finished) {
        progressed.wait_for(lock, std::chrono::milliseconds(100));
        const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
        DrawProgress(done, static_cast<int>(jobs.size()), seconds.count());
      }
    });
  }
  work();
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
    DrawProgress(done, static_cast<int>(jobs.size()), seconds.count());
    std::fputs("\n", stderr);
  }

  DeferFlush(false);
  std::set<std::string> folders;
  for (std::size_t i = 0; i < jobs.size(); ++i)
    if (outcomes[i].kind == JobOutcome::Done) {
      const auto slash = jobs[i].target.find_last_of('/');
      folders.insert(slash == std::string::npos
                         ? "."
                         : jobs[i].target.substr(0, std::max<std::size_t>(slash, 1)));
    }
  for (const std::string &written : folders) {
    std::string reason;
    if (!FlushDeferred(written, reason)) {
      std::fprintf(stderr, "%s%s: %s\n", prefix.c_str(), written.c_str(), reason.c_str());
      for (std::size_t i = 0; i < jobs.size(); ++i)
        if (outcomes[i].kind == JobOutcome::Done && jobs[i].target.starts_with(written))
          outcomes[i] = {JobOutcome::Failed, "not known to be on the disk"};
    }
  }

  int failed = 0, unreadable = 0;
  for (std::size_t i = 0; i < jobs.size(); ++i) {
    const JobOutcome &outcome = outcomes[i];
    if (outcome.kind != JobOutcome::Done) {
      ++failed;
      unreadable += outcome.kind == JobOutcome::Unreadable;
    }
    if (!outcome.message.empty())
      std::fprintf(stderr, "%sline %d: %s\n", prefix.c_str(), jobs[i].line,
                   outcome.message.c_str());
  }
  const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
  std::fprintf(stderr, "%s%zu of %zu written", prefix.c_str(),
               jobs.size() - static_cast<std::size_t>(failed), jobs.size());
  if (failed > 0)
    std::fprintf(stderr, ", %d failed", failed);
  std::fprintf(stderr, " (%s)\n", Duration(seconds.count()).c_str());
  if (failed == 0)
    return kOk;
  return unreadable == failed ? kUnreadable : kFailed;
}

} // namespace zub::cli
