#include "sntp/reply_rules.h"

#include <algorithm>

namespace quorvane {

ReplyHeader ReadReplyHeader(const SntpPacket& packet) {
  const uint8_t first = packet.bytes[0];
  return ReplyHeader{first >> 6, (first >> 3) & 0x7, first & 0x7, packet.bytes[1]};
}

bool IsUsableReply(const SntpPacket& packet, std::initializer_list<int> acceptedModes) {
  const ReplyHeader header = ReadReplyHeader(packet);
  if (header.leapIndicator == kLeapNotSynchronised || header.stratum == 0) return false;
  if (std::find(acceptedModes.begin(), acceptedModes.end(), header.mode) == acceptedModes.end()) {
    return false;
  }
  const auto transmit = packet.bytes.begin() + 40;
  return std::any_of(transmit, transmit + 8, [](uint8_t b) { return b != 0; });
}

}  // namespace quorvane
