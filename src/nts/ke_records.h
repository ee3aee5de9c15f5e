#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "nts/nts_failure.h"

namespace quorvane::nts {

// NTS Key Establishment records (RFC 8915 section 4): a critical bit and a 15-bit type, a
// 16-bit body length, the body; all big-endian.
enum class KeRecordType : uint16_t {
  EndOfMessage = 0,
  NextProtocol = 1,
  Error = 2,
  Warning = 3,
  AeadAlgorithm = 4,
  NewCookie = 5,
  Server = 6,
  Port = 7,
};

inline constexpr uint16_t kNtpv4ProtocolId = 0;
inline constexpr uint16_t kAeadAesSivCmac256 = 15;
inline constexpr uint16_t kNtsKePort = 4460;
inline constexpr uint16_t kNtsNtpPort = 123;

struct KeRecord {
  bool critical = false;
  uint16_t type = 0;
  std::vector<uint8_t> body;
};

void AppendKeRecord(std::vector<uint8_t>& message, const KeRecord& record);

// The client's request: NTPv4, AEAD_AES_SIV_CMAC_256, end of message.
std::vector<uint8_t> BuildKeRequest();

enum class KeSplitStatus { Complete, Incomplete, Malformed };

struct KeSplit {
  KeSplitStatus status = KeSplitStatus::Incomplete;
  std::vector<KeRecord> records;  // up to and including End of Message when Complete
};

// Cuts a received stream into records. Complete once End of Message arrived; Incomplete
// while more bytes may finish the message; Malformed for bytes after End of Message or an
// End of Message with a body.
KeSplit SplitKeRecords(std::span<const uint8_t> stream);

// What a server's answer grants.
struct KeGrant {
  std::vector<std::vector<uint8_t>> cookies;
  std::string server;            // empty: the key-establishment host
  std::optional<uint16_t> port;  // none: 123
  std::vector<uint16_t> warnings;
};

struct KeAnswer {
  std::optional<NtsFailure> failure;
  KeGrant grant;  // meaningful without failure
};

// Checks a complete answer to BuildKeRequest: exactly NTPv4 and AEAD_AES_SIV_CMAC_256
// chosen, at least one cookie, no Error record and no unknown critical record.
KeAnswer InterpretKeAnswer(const std::vector<KeRecord>& records);

}  // namespace quorvane::nts
