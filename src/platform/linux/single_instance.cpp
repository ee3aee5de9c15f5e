#include "platform/linux/single_instance.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>

namespace quorvane {

SingleInstance::SingleInstance(std::string_view name) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  // Abstract names start with a NUL byte; longer names would be cut silently.
  const size_t length = std::min(name.size(), sizeof(address.sun_path) - 1);
  std::memcpy(address.sun_path + 1, name.data(), length);
  const auto addressLength = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + length);

  // Close-on-exec: a browser started from the program must not keep the name alive.
  fd_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd_ < 0) return;
  if (::bind(fd_, reinterpret_cast<const sockaddr*>(&address), addressLength) == 0) return;
  anotherRuns_ = errno == EADDRINUSE;
  ::close(fd_);
  fd_ = -1;
}

SingleInstance::~SingleInstance() {
  if (fd_ >= 0) ::close(fd_);
}

}  // namespace quorvane
