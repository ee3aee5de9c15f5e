#include "sntp/sntp_packet.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <exception>
#include <limits>
#include <optional>
#include <random>

#include "base/local_time.h"

namespace quorvane {
namespace {

constexpr double kFractionWeight = 1.0 / 4294967296.0;  // 2^-32
constexpr double kEraSeconds = 4294967296.0;            // 2^32
constexpr uint16_t kInvalidField = 65535;
constexpr size_t kOriginateOffset = 24;
constexpr size_t kTransmitOffset = 40;

uint32_t ReadBigEndian32(std::span<const uint8_t, 4> b) {
  return (uint32_t{b[0]} << 24) | (uint32_t{b[1]} << 16) | (uint32_t{b[2]} << 8) | uint32_t{b[3]};
}

NtpSeconds TimestampAt(const SntpPacket& packet, size_t offset) {
  return DecodeTimestamp(std::span<const uint8_t, 8>(packet.bytes.data() + offset, 8));
}

}  // namespace

RequestNonce NewRequestNonce() {
  RequestNonce nonce{};
  // The device is the kernel's source; the library's default (possibly a CPU instruction)
  // only where the device cannot be opened.
  auto fill = [&nonce](std::random_device& source) {
    for (size_t i = 0; i < nonce.size(); i += 4) {
      const uint32_t word = source();
      std::memcpy(nonce.data() + i, &word, 4);
    }
  };
  try {
    std::random_device kernel("/dev/urandom");
    fill(kernel);
  } catch (const std::exception&) {
    std::random_device fallback;
    fill(fallback);
  }
  return nonce;
}

SntpPacket BuildRequest(const RequestNonce& nonce) {
  SntpPacket packet;
  packet.bytes[0] = 0x0B;  // LI 0, version 1, mode 3 (client)
  std::copy(nonce.begin(), nonce.end(), packet.bytes.begin() + kTransmitOffset);
  return packet;
}

bool AnswersRequest(std::span<const uint8_t> datagram, const RequestNonce& nonce) {
  if (datagram.size() < kOriginateOffset + nonce.size()) return false;
  return std::equal(nonce.begin(), nonce.end(), datagram.begin() + kOriginateOffset);
}

NtpSeconds DecodeTimestamp(std::span<const uint8_t, 8> bytes) {
  const uint32_t seconds = ReadBigEndian32(bytes.first<4>());
  const uint32_t fraction = ReadBigEndian32(bytes.last<4>());
  // A seconds word with its top bit clear is in era 1 (2036-02-07 06:28:16 UTC to 2104):
  // era 0 reached that range only before 1968, when no server answered.
  const double era = (seconds & 0x80000000u) != 0 ? 0.0 : kEraSeconds;
  return static_cast<double>(fraction) * kFractionWeight + static_cast<double>(seconds) + era;
}

NtpSeconds ReceiveTimestamp(const SntpPacket& reply) { return TimestampAt(reply, 32); }
NtpSeconds TransmitTimestamp(const SntpPacket& reply) {
  return TimestampAt(reply, kTransmitOffset);
}

ClockOffset ComputeOffset(int mode, NtpSeconds t1, NtpSeconds t2, NtpSeconds t3, NtpSeconds t4) {
  if (mode == 2) return t3 - t4;
  return ((t2 - t1) + (t3 - t4)) * 0.5;
}

TravelTimes ComputeTravelTimes(NtpSeconds t1, NtpSeconds t2, NtpSeconds t3, NtpSeconds t4) {
  return TravelTimes{t2 - t1, t3 - t2, t4 - t3};
}

CorrectedInstant MakeClockRecord(NtpSeconds t4, ClockOffset offset) {
  CorrectedInstant out;
  const double corrected = t4 + offset;
  // Outside the signed 64-bit range (or not a number) nothing sensible can follow.
  if (!(std::fabs(corrected) < 9.2e18)) return out;
  out.wholeSeconds = static_cast<int64_t>(corrected);
  if (out.wholeSeconds == 0) return out;
  out.unixTime = out.wholeSeconds - kNtpToUnixSeconds;

  const std::optional<std::tm> local = ToLocalCalendar(out.unixTime);
  const bool convertible = local && local->tm_year + 1900 <= std::numeric_limits<uint16_t>::max();
  if (convertible) {
    out.record.year = static_cast<uint16_t>(local->tm_year + 1900);
    out.record.month = static_cast<uint16_t>(local->tm_mon + 1);
    out.record.dayOfWeek = static_cast<uint16_t>(local->tm_wday);
    out.record.day = static_cast<uint16_t>(local->tm_mday);
    out.record.hour = static_cast<uint16_t>(local->tm_hour);
    out.record.minute = static_cast<uint16_t>(local->tm_min);
    out.record.second = static_cast<uint16_t>(local->tm_sec);
  } else {
    out.record.hour = out.record.minute = out.record.second = kInvalidField;
  }
  double whole = 0;
  // Through int: before 1970 the fraction is negative, and a negative double converted
  // straight to an unsigned member is undefined. The clock refuses that record anyway.
  const int milliseconds = static_cast<int>(std::modf(corrected, &whole) * 1000.0);
  out.record.milliseconds = static_cast<uint16_t>(milliseconds);
  return out;
}

NtpSeconds NtpSecondsFromUnix(int64_t unixSeconds, int milliseconds) {
  return static_cast<double>(unixSeconds) + static_cast<double>(kNtpToUnixSeconds) +
         milliseconds * 0.001;
}

bool ClockRecordToUnixMilliseconds(const ClockRecord& record, int64_t& unixMilliseconds) {
  if (record.month < 1 || record.month > 12 || record.day < 1 || record.day > 31 ||
      record.hour > 23 || record.minute > 59 || record.second > 59 || record.milliseconds > 999 ||
      record.year < 1601) {
    return false;
  }
  const std::optional<int64_t> seconds = FromLocalCalendar(
      record.year, record.month, record.day, record.hour, record.minute, record.second);
  if (!seconds) return false;
  unixMilliseconds = *seconds * 1000 + record.milliseconds;
  return true;
}

}  // namespace quorvane
