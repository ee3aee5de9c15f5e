#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace quorvane {

// The cipher of authenticated time: AEAD_AES_SIV_CMAC_256 (RFC 5297), keys of 32 bytes, with
// the associated data as the first header component and the nonce as the last. A library
// implements it; the core never holds cryptography of its own.
class NtsAead {
 public:
  static constexpr size_t kKeySize = 32;
  static constexpr size_t kTagSize = 16;
  virtual ~NtsAead() = default;
  // The synthetic tag followed by the encrypted plaintext (kTagSize + plaintext bytes).
  virtual std::vector<uint8_t> Seal(std::span<const uint8_t> key, std::span<const uint8_t> nonce,
                                    std::span<const uint8_t> associatedData,
                                    std::span<const uint8_t> plaintext) = 0;
  // The plaintext, or none when the ciphertext does not verify under this key, nonce and data.
  virtual std::optional<std::vector<uint8_t>> Open(std::span<const uint8_t> key,
                                                   std::span<const uint8_t> nonce,
                                                   std::span<const uint8_t> associatedData,
                                                   std::span<const uint8_t> ciphertext) = 0;
  // Unpredictable bytes for unique identifiers and nonces.
  virtual void FillRandom(std::span<uint8_t> out) = 0;
};

}  // namespace quorvane
