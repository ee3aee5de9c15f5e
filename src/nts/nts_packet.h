#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "nts/cookie_store.h"
#include "ports/nts_aead.h"

namespace quorvane::nts {

inline constexpr size_t kUniqueIdSize = 32;
inline constexpr size_t kNonceSize = 16;
using UniqueId = std::array<uint8_t, kUniqueIdSize>;

struct NtsRequest {
  std::vector<uint8_t> bytes;
  UniqueId uniqueId{};
};

// An authenticated request: the 48-byte NTPv4 header, a fresh Unique Identifier, the
// cookie, `placeholders` Cookie Placeholders of the cookie's size (asking for that many
// more cookies back), and an Authenticator over all of it with the client-to-server key.
NtsRequest BuildNtsRequest(std::span<const uint8_t> header, const Cookie& cookie,
                           size_t placeholders, std::span<const uint8_t> c2sKey, NtsAead& aead);

// An accepted reply and the cookies from its encrypted part.
struct NtsReplyContents {
  std::vector<Cookie> cookies;
};

// Accepts a reply only if its authenticated part holds exactly one Unique Identifier, equal
// to `expected`, and its Authenticator verifies with the server-to-client key. Cookies are
// taken only from the encrypted fields. None for everything else.
std::optional<NtsReplyContents> CheckNtsReply(std::span<const uint8_t> reply,
                                              const UniqueId& expected,
                                              std::span<const uint8_t> s2cKey, NtsAead& aead);

}  // namespace quorvane::nts
