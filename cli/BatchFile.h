#pragma once

// The lines of a batch file, read as often as the batch needs them.
#include <functional>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <sys/types.h>

namespace zub::cli {

// A batch file: a regular file is read again from where it started;
// anything else (a pipe, a terminal) is read once into an unnamed
// temporary file (or, where the system makes none, held as its bytes) and
// read again from there. What is read never grows with the lines: a piece
// of the file, and the line that crosses its end.
class BatchFile {
public:
  BatchFile() = default;
  BatchFile(const BatchFile &) = delete;
  BatchFile &operator=(const BatchFile &) = delete;
  ~BatchFile();

  // Opens `path` ("-": standard input). False with `error` one line in the
  // locale's language: it cannot be read, is a folder, or holds more than
  // a batch may (256 MB).
  bool Open(const std::string &path, std::string &error);

  // Calls `each` with every line, without its line break, and its number,
  // from the first; the last line counts without a line break too. Stops
  // where `each` returns false. False with `error` when the file cannot be
  // read.
  bool EachLine(const std::function<bool(std::string_view line, int number)> &each,
                std::string &error);

  // False when a regular file was changed since it was opened: a batch
  // whose files were named from one content is not run with another.
  bool Unchanged() const;

  // The file as messages name it: “path” or standard input.
  const std::string &Name() const { return name_; }

private:
  std::string Cannot() const;
  bool Failed(int number, std::string &error) const;
  std::string TooLarge() const;

  int fd_ = -1;
  bool seekable_ = false;
  off_t start_ = 0;
  struct stat opened_ {};
  std::string held_;
  std::string name_;
};

} // namespace zub::cli
