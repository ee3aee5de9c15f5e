#include "logging/log_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace quorvane {
namespace {

// Room for one whole line of the longest kept length and a read after it.
constexpr size_t kBufferBytes = 2 * LogLineReader::kMaxLineBytes;

std::string_view WithoutCarriageReturn(const char* data, size_t size) {
  if (size > 0 && data[size - 1] == '\r') --size;
  return std::string_view(data, size);
}

}  // namespace

LogLineReader::LogLineReader() : buffer_(new char[kBufferBytes]) {}

LogLineReader::~LogLineReader() {
  if (fd_ >= 0) ::close(fd_);
}

bool LogLineReader::Open(const std::string& path) {
  // Non-blocking, so a pipe put where the log belongs cannot hang the opening.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return false;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return false;
  }
  if (fd_ >= 0) ::close(fd_);
  fd_ = fd;
  begin_ = end_ = 0;
  eof_ = failed_ = false;
  return true;
}

// Moves the unread bytes to the front and reads after them; false at the end of the file
// or on an error.
bool LogLineReader::Fill() {
  if (fd_ < 0 || eof_ || failed_) return false;
  if (begin_ > 0) {
    std::memmove(buffer_.get(), buffer_.get() + begin_, end_ - begin_);
    end_ -= begin_;
    begin_ = 0;
  }
  for (;;) {
    const ssize_t n = ::read(fd_, buffer_.get() + end_, kBufferBytes - end_);
    if (n > 0) {
      end_ += static_cast<size_t>(n);
      return true;
    }
    if (n == 0) {
      eof_ = true;
      return false;
    }
    if (errno != EINTR) {
      failed_ = true;
      return false;
    }
  }
}

LogLineReader::Result LogLineReader::Next(std::string_view& line) {
  bool overlong = false;
  for (;;) {
    const char* start = buffer_.get() + begin_;
    const size_t size = end_ - begin_;
    if (const void* lf = std::memchr(start, '\n', size)) {
      const size_t length = static_cast<size_t>(static_cast<const char*>(lf) - start);
      begin_ += length + 1;
      if (overlong || length > kMaxLineBytes) return Result::Overlong;
      line = WithoutCarriageReturn(start, length);
      return Result::Line;
    }
    if (size > kMaxLineBytes) {
      // Too long to be an entry: drop what is held and look for its end.
      overlong = true;
      begin_ = end_ = 0;
    }
    if (!Fill()) {
      if (failed_) return Result::Error;
      if (end_ == begin_) return overlong ? Result::Overlong : Result::End;
      // The last line has no line end.
      const size_t length = end_ - begin_;
      line = WithoutCarriageReturn(buffer_.get() + begin_, length);
      begin_ = end_;
      return overlong ? Result::Overlong : Result::Line;
    }
  }
}

}  // namespace quorvane
