#pragma once

#include <cstdint>
#include <initializer_list>

#include "sntp/sntp_packet.h"

namespace quorvane {

inline constexpr int kModeServer = 4;
inline constexpr int kModeBroadcast = 5;
inline constexpr int kLeapNotSynchronised = 3;

// The fields of a datagram's first two bytes that decide whether it may be trusted.
struct ReplyHeader {
  int leapIndicator = 0;  // 0-3
  int version = 0;        // 0-7
  int mode = 0;           // 0-7
  int stratum = 0;        // 0-255
};

ReplyHeader ReadReplyHeader(const SntpPacket& packet);

// Whether a full 48-byte datagram may set the clock. It may not when its sender says its
// own clock is unsynchronised (leap indicator 3), when it is a Kiss-o'-Death (stratum 0: the
// server asks the client to back off), when its mode is not one the caller expects, or when
// its transmit timestamp is zero. The version is not checked: servers answer a version-1
// request in version 1.
bool IsUsableReply(const SntpPacket& packet, std::initializer_list<int> acceptedModes);

}  // namespace quorvane
