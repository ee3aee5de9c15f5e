// quorvane-helper: the only part of Quorvane that holds a right to set the clock or bind
// port 123. The window program starts it with one end of a socket pair and talks to it
// in fixed records; it ends when the window program closes its end.

#include <sys/socket.h>

#include <csignal>
#include <cstdlib>
#include <string_view>

#include "helper/linux/helper_server.h"
#include "helper/linux/system_helper_operations.h"

namespace {

constexpr int kDefaultConnection = 3;
constexpr int kUsageError = 2;

// The descriptor named by the only argument, or the default one; -1 when the argument is
// not a descriptor number.
int ConnectionFromArguments(int argc, char** argv) {
  if (argc < 2) return kDefaultConnection;
  if (argc > 2) return -1;
  const std::string_view text = argv[1];
  if (text.empty() || text.size() > 6) return -1;
  int fd = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return -1;
    fd = fd * 10 + (c - '0');
  }
  return fd;
}

bool IsSeqPacketSocket(int fd) {
  int type = 0;
  socklen_t length = sizeof type;
  return getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &length) == 0 && type == SOCK_SEQPACKET;
}

}  // namespace

int main(int argc, char** argv) {
  // Whoever starts the helper chooses its environment, so nothing in it is trusted or used.
  clearenv();
  signal(SIGPIPE, SIG_IGN);
  const int connection = ConnectionFromArguments(argc, argv);
  if (connection < 0 || !IsSeqPacketSocket(connection)) return kUsageError;
  if (quorvane::KeepOnlyHelperCapabilities() != 0) return EXIT_FAILURE;
  quorvane::SystemHelperOperations operations;
  return quorvane::ServeHelperConnection(connection, operations) == 0 ? EXIT_SUCCESS : EXIT_FAILURE;
}
