#include "helper/linux/helper_server.h"

#include <unistd.h>

#include <array>
#include <cerrno>

#include "helper/helper_protocol.h"
#include "helper/linux/helper_channel.h"

namespace quorvane {

int ServeHelperConnection(int connection, PrivilegedHelper& operations) {
  // Larger than any request, so an oversized one is seen as such, not cut to fit.
  std::array<std::byte, 2 * kHelperRequestSize> buffer{};
  for (;;) {
    size_t size = 0;
    int passed = -1;
    const int received = ReceiveRecord(connection, buffer, size, passed);
    // The helper takes no descriptors from its peer.
    if (passed != -1) close(passed);
    if (received == EPIPE) return 0;
    if (received != 0) return received;
    // A message cut short by the buffer is served as empty: refused for its size.
    const std::span<const std::byte> request(buffer.data(), size <= buffer.size() ? size : 0);
    const HelperReply reply = ServeRequest(request, operations);
    const int sent = SendRecord(connection, reply.bytes, reply.descriptor);
    if (reply.descriptor != -1) close(reply.descriptor);
    if (sent == EPIPE) return 0;
    if (sent != 0) return sent;
  }
}

}  // namespace quorvane
