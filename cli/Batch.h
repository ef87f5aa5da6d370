#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zub::cli {

// One line of a batch file: "TEXT", or "NAME<TAB>TEXT". In both fields "\n",
// "\t" and "\\" stand for a line break, a tab and a backslash; a backslash
// before anything else is an error of that line. A line ending in "\r\n"
// loses the "\r". Empty lines are no jobs.
struct BatchJob {
  int line = 0;                    // 1 for the file's first line
  std::optional<std::string> name; // the first field, unescaped
  std::string text;                // the message, unescaped
  std::string error;               // why the line cannot be a job; empty when it can
  std::string target;              // the file it writes, once named
};

// The job of line `number`, whose bytes are `line` without its line
// break; nothing for an empty line.
std::optional<BatchJob> ParseBatchLine(std::string_view line, int number);

// Splits a batch file's bytes into jobs. `lines` receives the number of
// lines the file has, the last one counted even without a line break.
std::vector<BatchJob> ParseBatch(std::string_view bytes, int &lines);

// "a\\tb" -> "a<TAB>b". Nothing, with `error` set, for a stray backslash.
std::optional<std::string> Unescape(std::string_view field, std::string &error);

// Where a batch writes. `output` is a name pattern when it holds "{n}" or
// "{name}", else a folder. In a pattern "{n}" is the line number, zero-padded
// to the width of the file's line count, and "{name}" the line's name (its
// line number when it has none). In a folder each file is called by its name,
// else by its padded line number, followed by "." and `suffix`. A name that
// holds a "/", a NUL or another control character (a line break, an escape),
// or is empty, "." or "..", is refused: false with `error` set. A name from
// a batch is always a file's: a target "-" is the file "./-", never standard
// output.
bool NameTarget(BatchJob &job, const std::string &output, const std::string &suffix, int lines,
                std::string &error);

// What became of one job.
struct JobOutcome {
  enum Kind { Done, Failed, Unreadable } kind = Done;
  std::string message; // the reason for a failure, or a note on what was done
};

// Makes and writes the job's file at job.target. Called on several threads
// at once for different jobs.
using JobRunner = std::function<JobOutcome(const BatchJob &job)>;

// How one line that is not empty (without its line break) becomes a job:
// sets its name and text, or its error. Unset: TEXT or NAME<TAB>TEXT, as
// above.
using LineParser = std::function<void(std::string_view line, BatchJob &job)>;

struct BatchSettings {
  std::string source;   // the batch file; "-" is standard input
  std::string output;   // a folder or a name pattern
  std::string suffix;   // the file name suffix for a folder ("png")
  int threads = 0;      // 0: ZUBQR_THREADS, else every core
  LineParser parseLine; // unset: TEXT or NAME<TAB>TEXT
  // Told, before the first job runs, how many threads run the jobs: a
  // command bounds the threads its jobs start of their own by it.
  std::function<void(int threads)> starting;
};

// Reads the batch, names every job's file, refuses the whole batch before
// writing anything when two lines would write one file (FileIdentities in
// FileIdentity.h),
// makes the folder (the pattern's, when it names one) if it is missing,
// then runs the jobs on `threads` threads. The lines are read as they are
// run, a few ahead: what the batch holds does not grow with its lines but
// by a number a line (a regular file is read again from its start; other
// input, a pipe, is first read into an unnamed temporary file). Failing lines are reported on
// standard error in line order, "zubqr COMMAND: line N: reason", and the
// others go on. On a terminal a progress bar on standard error shows
// done/total, the rate and the time left; elsewhere only the summary line.
// Returns the exit status: 0 all written, 3 when every failure was "no
// readable candidate", else 1.
int RunBatch(const char *command, const BatchSettings &settings, const JobRunner &run);

// The number of threads a batch runs on: `requested` when above 0, else
// ZUBQR_THREADS when it holds a number from 1 to 256, else every core.
int BatchThreads(int requested);

} // namespace zub::cli
