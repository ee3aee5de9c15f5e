#pragma once

#include <cstddef>
#include <span>

namespace quorvane {

// One record per message over a SOCK_SEQPACKET socket pair, optionally carrying one
// descriptor (SCM_RIGHTS). Both calls retry on EINTR and answer with an errno, 0 on success.

// Sends `record`, and `descriptor` with it when it is not -1. Never raises SIGPIPE.
int SendRecord(int socket, std::span<const std::byte> record, int descriptor);

// Receives one message into `buffer`. `size` is its length, or buffer.size() + 1 when it did
// not fit; `descriptor` is the one it carried (close-on-exec), or -1. A closed peer answers
// EPIPE; an empty message from a live peer is a message of size 0.
int ReceiveRecord(int socket, std::span<std::byte> buffer, size_t& size, int& descriptor);

}  // namespace quorvane
