#include "Batch.h"

#include "ArgumentParsing.h"
#include "BatchFile.h"
#include "DeferredFlush.h"
#include "ExitStatus.h"
#include "FileIdentity.h"
#include "FileWrite.h"
#include "Messages.h"
#include "StandardStreams.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <malloc.h>
#include <map>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace zub::cli {

namespace {

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
  std::optional<BatchJob> job;
  if (settings.parseLine) {
    if (line.ends_with('\r'))
      line.remove_suffix(1);
    if (line.empty())
      return job;
    job.emplace();
    job->line = number;
    settings.parseLine(line, *job);
  } else {
    job = ParseBatchLine(line, number);
  }
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
  if (settings.parseLine) {
    // A form's columns: the whole line read as the job reads it.
    job.error.clear();
    settings.parseLine(line, job);
    return job.error.empty() && NameTarget(job, settings.output, settings.suffix, lines, job.error);
  }
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

  if (settings.starting)
    settings.starting(threads);
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
