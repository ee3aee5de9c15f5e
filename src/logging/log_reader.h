#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace quorvane {

// Reads a log file one line at a time through a buffer of fixed size, so reading a file of
// any length holds no more than one buffer. Lines may end in LF or CR LF; a lone CR is part
// of its line.
class LogLineReader {
 public:
  // Longer lines cannot be entries the program wrote; they are reported as Overlong and
  // skipped up to their line end without being held.
  static constexpr size_t kMaxLineBytes = size_t{64} << 10;

  enum class Result { Line, Overlong, End, Error };

  LogLineReader();
  ~LogLineReader();
  LogLineReader(const LogLineReader&) = delete;
  LogLineReader& operator=(const LogLineReader&) = delete;

  // Opens a regular file for reading; false for anything else (a directory, a pipe that
  // would block, a missing file).
  bool Open(const std::string& path);

  // The next line without its line end, valid until the next call. End after the last
  // line; Error when the file could not be read further.
  Result Next(std::string_view& line);

 private:
  bool Fill();

  int fd_ = -1;
  std::unique_ptr<char[]> buffer_;
  size_t begin_ = 0;
  size_t end_ = 0;
  bool eof_ = false;
  bool failed_ = false;
};

}  // namespace quorvane
