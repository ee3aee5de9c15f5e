#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "ports/clock.h"

namespace quorvane {

inline constexpr int64_t kNtpToUnixSeconds = 2208988800;  // 1900-01-01 to 1970-01-01
inline constexpr uint16_t kNtpPort = 123;
inline constexpr size_t kSntpPacketSize = 48;

// The 48-byte SNTP datagram, big-endian on the wire.
struct SntpPacket {
  std::array<uint8_t, kSntpPacketSize> bytes{};
};

// Result of turning a corrected instant into a clock record. wholeSeconds == 0 marks
// invalid data, and then nothing else is filled in.
struct CorrectedInstant {
  int64_t wholeSeconds = 0;  // W
  int64_t unixTime = 0;      // U
  ClockRecord record;
};

// Travel figures of one exchange, in seconds, shown by a server test.
struct TravelTimes {
  double request = 0;           // T2 - T1
  double serverProcessing = 0;  // T3 - T2
  double response = 0;          // T4 - T3
};

// 64 bits that bind a reply to its request: the server copies a request's transmit
// timestamp into its reply's originate timestamp, and nobody off the path can guess them.
using RequestNonce = std::array<uint8_t, 8>;

// Fresh bits from the kernel's random source for each request.
RequestNonce NewRequestNonce();

// The request: version 1, client mode, the nonce as its transmit timestamp, everything
// else zero.
SntpPacket BuildRequest(const RequestNonce& nonce);

// A datagram of `length` bytes answers the request that carried `nonce`: its originate
// timestamp holds the nonce.
bool AnswersRequest(std::span<const uint8_t> datagram, const RequestNonce& nonce);

// Seconds and fraction words, both unsigned big-endian. A seconds word whose top bit is
// clear is in era 1 (from 2036-02-07 06:28:16 UTC), one whose top bit is set in era 0.
NtpSeconds DecodeTimestamp(std::span<const uint8_t, 8> bytes);

// Receive (T2) and transmit (T3) timestamps of a full 48-byte reply.
NtpSeconds ReceiveTimestamp(const SntpPacket& reply);
NtpSeconds TransmitTimestamp(const SntpPacket& reply);

// Mode 1 (poll): ((T2 - T1) + (T3 - T4)) / 2; mode 2 (listen): T3 - T4.
ClockOffset ComputeOffset(int mode, NtpSeconds t1, NtpSeconds t2, NtpSeconds t3, NtpSeconds t4);

TravelTimes ComputeTravelTimes(NtpSeconds t1, NtpSeconds t2, NtpSeconds t3, NtpSeconds t4);

// T4 + offset, whole seconds, Unix time and local calendar record. A time the local
// conversion cannot handle gives the record that every clock refuses (date 0, time 65535).
CorrectedInstant MakeClockRecord(NtpSeconds t4, ClockOffset offset);

// A Unix time and its millisecond part as NtpSeconds, the way the local clock is read.
NtpSeconds NtpSecondsFromUnix(int64_t unixSeconds, int milliseconds);

// The Unix time in milliseconds that a local-time record names (mktime with daylight
// saving decided for that date); false when the record names no valid time.
bool ClockRecordToUnixMilliseconds(const ClockRecord& record, int64_t& unixMilliseconds);

}  // namespace quorvane
