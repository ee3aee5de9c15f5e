#include "helper/linux/helper_channel.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace quorvane {
namespace {

// Room for a few descriptors, so that a peer sending more than one leaks none of them.
constexpr size_t kMaxDescriptors = 4;

bool PeerHungUp(int socket) {
  pollfd entry{socket, POLLRDHUP, 0};
  return poll(&entry, 1, 0) == 1 && (entry.revents & (POLLHUP | POLLRDHUP)) != 0;
}

// Keeps the first descriptor the message carried and closes any others.
int TakeDescriptors(msghdr& message) {
  int kept = -1;
  for (cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr; c = CMSG_NXTHDR(&message, c)) {
    if (c->cmsg_level != SOL_SOCKET || c->cmsg_type != SCM_RIGHTS) continue;
    const size_t count = (c->cmsg_len - CMSG_LEN(0)) / sizeof(int);
    for (size_t i = 0; i < count; ++i) {
      int fd = -1;
      std::memcpy(&fd, CMSG_DATA(c) + i * sizeof(int), sizeof fd);
      if (kept == -1) {
        kept = fd;
      } else {
        close(fd);
      }
    }
  }
  return kept;
}

}  // namespace

int SendRecord(int socket, std::span<const std::byte> record, int descriptor) {
  iovec part{const_cast<std::byte*>(record.data()), record.size()};
  msghdr message{};
  message.msg_iov = &part;
  message.msg_iovlen = 1;
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
  if (descriptor != -1) {
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    cmsghdr* c = CMSG_FIRSTHDR(&message);
    c->cmsg_level = SOL_SOCKET;
    c->cmsg_type = SCM_RIGHTS;
    c->cmsg_len = CMSG_LEN(sizeof(int));
    std::memcpy(CMSG_DATA(c), &descriptor, sizeof descriptor);
  }
  ssize_t sent = -1;
  do {
    sent = sendmsg(socket, &message, MSG_NOSIGNAL);
  } while (sent < 0 && errno == EINTR);
  return sent < 0 ? errno : 0;
}

int ReceiveRecord(int socket, std::span<std::byte> buffer, size_t& size, int& descriptor) {
  size = 0;
  descriptor = -1;
  iovec part{buffer.data(), buffer.size()};
  alignas(cmsghdr) char control[CMSG_SPACE(kMaxDescriptors * sizeof(int))] = {};
  msghdr message{};
  message.msg_iov = &part;
  message.msg_iovlen = 1;
  message.msg_control = control;
  message.msg_controllen = sizeof control;
  ssize_t received = -1;
  do {
    received = recvmsg(socket, &message, MSG_CMSG_CLOEXEC);
  } while (received < 0 && errno == EINTR);
  if (received < 0) return errno == ECONNRESET ? EPIPE : errno;
  descriptor = TakeDescriptors(message);
  if (received == 0 && PeerHungUp(socket)) return EPIPE;
  size = (message.msg_flags & MSG_TRUNC) != 0 ? buffer.size() + 1 : static_cast<size_t>(received);
  return 0;
}

}  // namespace quorvane
