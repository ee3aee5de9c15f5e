#pragma once

#include "ports/nts_aead.h"

namespace quorvane {

// AEAD_AES_SIV_CMAC_256 from nettle: its 32-byte key is two AES-128 keys, which nettle names
// siv_cmac_aes128. Random bytes come from the kernel (getrandom).
class NettleSivAead : public NtsAead {
 public:
  std::vector<uint8_t> Seal(std::span<const uint8_t> key, std::span<const uint8_t> nonce,
                            std::span<const uint8_t> associatedData,
                            std::span<const uint8_t> plaintext) override;
  std::optional<std::vector<uint8_t>> Open(std::span<const uint8_t> key,
                                           std::span<const uint8_t> nonce,
                                           std::span<const uint8_t> associatedData,
                                           std::span<const uint8_t> ciphertext) override;
  void FillRandom(std::span<uint8_t> out) override;
};

}  // namespace quorvane
