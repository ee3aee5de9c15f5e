#include "platform/linux/program_path.h"

#include <unistd.h>

#include <vector>

namespace quorvane {

std::string ExecutablePath() {
  // readlink does not say whether it cut the path short, so grow until it fits.
  for (size_t size = 256; size <= 65536; size *= 2) {
    std::vector<char> buffer(size);
    const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length < 0) return {};
    if (static_cast<size_t>(length) < buffer.size()) {
      return std::string(buffer.data(), static_cast<size_t>(length));
    }
  }
  return {};
}

std::string ProgramDirectoryOf(std::string_view path) {
  const size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash + 1));
}

}  // namespace quorvane
