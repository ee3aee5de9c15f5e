#pragma once

// Helpers for tests that work on real log files in a fresh directory of their own.

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace quorvane::testing {

// Sets TZ for the lifetime of the object and puts the old value back afterwards.
class ScopedTimeZone {
 public:
  explicit ScopedTimeZone(const char* zone) {
    if (const char* old = std::getenv("TZ")) old_ = old;
    ::setenv("TZ", zone, 1);
    ::tzset();
  }
  ~ScopedTimeZone() {
    if (old_) {
      ::setenv("TZ", old_->c_str(), 1);
    } else {
      ::unsetenv("TZ");
    }
    ::tzset();
  }
  ScopedTimeZone(const ScopedTimeZone&) = delete;
  ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

 private:
  std::optional<std::string> old_;
};

// The whole file as bytes; nothing when it cannot be read as a file.
inline std::optional<std::string> ReadFileBytes(const std::string& path) {
  if (!std::filesystem::is_regular_file(path)) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

inline void WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

// Unix seconds of a local date and time in the current TZ.
inline int64_t LocalSeconds(int year, int month, int day, int hour, int minute, int second) {
  std::tm t{};
  t.tm_year = year - 1900;
  t.tm_mon = month - 1;
  t.tm_mday = day;
  t.tm_hour = hour;
  t.tm_min = minute;
  t.tm_sec = second;
  t.tm_isdst = -1;
  return std::mktime(&t);
}

// Runs work in a forked child that may not make files larger than limitBytes, with SIGXFSZ
// ignored so that a write past the limit fails with EFBIG instead of ending the child.
// The child's texts come back through a pipe; nothing when the child did not end normally.
inline std::optional<std::vector<std::string>> RunWithFileSizeLimit(
    uint64_t limitBytes, const std::function<std::vector<std::string>()>& work) {
  int fds[2];
  if (::pipe(fds) != 0) return std::nullopt;
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(fds[0]);
    const rlimit limit{limitBytes, limitBytes};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, SIG_IGN);
    std::string out;
    for (const std::string& text : work()) out += text + '\0';
    const bool sent = ::write(fds[1], out.data(), out.size()) == static_cast<ssize_t>(out.size());
    ::_exit(sent ? 0 : 1);
  }
  ::close(fds[1]);
  std::string received;
  char buffer[4096];
  for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;) received.append(buffer, n);
  ::close(fds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (pid < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
  std::vector<std::string> texts;
  std::string::size_type start = 0;
  for (std::string::size_type end; (end = received.find('\0', start)) != std::string::npos;
       start = end + 1) {
    texts.push_back(received.substr(start, end - start));
  }
  return texts;
}

}  // namespace quorvane::testing
