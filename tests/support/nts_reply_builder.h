#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "nts/extension_fields.h"
#include "nts/nts_packet.h"

namespace quorvane::nts {

// A reply as an NTS server makes it: a 48-byte header, the request's Unique Identifier, and
// an Authenticator whose encrypted part holds the new cookies.
inline std::vector<uint8_t> BuildServerReply(std::span<const uint8_t> uniqueId,
                                             std::span<const uint8_t> s2cKey,
                                             const std::vector<Cookie>& cookies, NtsAead& aead) {
  std::vector<uint8_t> reply(kNtpHeaderSize, 0);
  reply[0] = 0x24;  // NTPv4, server
  AppendField(reply, FieldType::UniqueIdentifier, uniqueId);
  std::vector<uint8_t> plaintext;
  for (const Cookie& cookie : cookies) AppendField(plaintext, FieldType::NtsCookie, cookie);
  std::vector<uint8_t> nonce(kNonceSize);
  aead.FillRandom(nonce);
  const auto ciphertext = aead.Seal(s2cKey, nonce, reply, plaintext);
  AppendField(reply, FieldType::Authenticator, EncodeAuthenticator(nonce, ciphertext));
  return reply;
}

}  // namespace quorvane::nts
