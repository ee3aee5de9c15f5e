#include "server_config/list_file_ops.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>

namespace quorvane {
namespace {

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }
  // Closes now and says whether the close itself succeeded (a late write error shows here).
  bool Close() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

 private:
  int fd_;
};

bool WriteAll(int fd, std::string_view content) {
  while (!content.empty()) {
    const ssize_t n = ::write(fd, content.data(), content.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    content.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

std::string DirectoryOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

std::optional<std::string> PosixListFileOps::ReadAll(const std::string& path) {
  // Non-blocking, so that a pipe standing at the path cannot hang the dialog.
  Descriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (fd.get() < 0) return std::nullopt;
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  std::string content;
  content.reserve(static_cast<size_t>(st.st_size));
  std::array<char, 65536> buffer{};
  for (;;) {
    const ssize_t n = ::read(fd.get(), buffer.data(), buffer.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return std::nullopt;
    if (n == 0) return content;
    content.append(buffer.data(), static_cast<size_t>(n));
  }
}

bool PosixListFileOps::Exists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

bool PosixListFileOps::Remove(const std::string& path) { return ::unlink(path.c_str()) == 0; }

WriteResult PosixListFileOps::WriteDurably(const std::string& path, std::string_view content) {
  Descriptor fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644));
  if (fd.get() < 0) return WriteResult::NotCreated;
  // On the disk before it takes the list's name, so a crash never leaves an empty list.
  const bool written = WriteAll(fd.get(), content) && ::fsync(fd.get()) == 0;
  if (fd.Close() && written) return WriteResult::Written;
  ::unlink(path.c_str());
  return WriteResult::WriteFailed;
}

ReplaceResult PosixListFileOps::Replace(const std::string& from, const std::string& to) {
  if (::rename(from.c_str(), to.c_str()) != 0) {
    const int error = errno;
    const bool inTheWay = error == EISDIR || error == ENOTEMPTY || error == EEXIST ||
                          error == EBUSY || error == ETXTBSY;
    return inTheWay ? ReplaceResult::TargetInTheWay : ReplaceResult::Failed;
  }
  // The new name itself on the disk too.
  Descriptor dir(::open(DirectoryOf(to).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.get() >= 0) ::fsync(dir.get());
  return ReplaceResult::Replaced;
}

}  // namespace quorvane
