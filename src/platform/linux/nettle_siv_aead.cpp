#include "platform/linux/nettle_siv_aead.h"

#include <nettle/siv-cmac.h>
#include <sys/random.h>

#include <cerrno>
#include <stdexcept>

namespace quorvane {

std::vector<uint8_t> NettleSivAead::Seal(std::span<const uint8_t> key,
                                         std::span<const uint8_t> nonce,
                                         std::span<const uint8_t> associatedData,
                                         std::span<const uint8_t> plaintext) {
  if (key.size() != SIV_CMAC_AES128_KEY_SIZE || nonce.empty()) return {};
  siv_cmac_aes128_ctx context{};
  siv_cmac_aes128_set_key(&context, key.data());
  std::vector<uint8_t> ciphertext(plaintext.size() + SIV_DIGEST_SIZE);
  siv_cmac_aes128_encrypt_message(&context, nonce.size(), nonce.data(), associatedData.size(),
                                  associatedData.data(), ciphertext.size(), ciphertext.data(),
                                  plaintext.data());
  return ciphertext;
}

std::optional<std::vector<uint8_t>> NettleSivAead::Open(std::span<const uint8_t> key,
                                                        std::span<const uint8_t> nonce,
                                                        std::span<const uint8_t> associatedData,
                                                        std::span<const uint8_t> ciphertext) {
  if (key.size() != SIV_CMAC_AES128_KEY_SIZE || nonce.empty() ||
      ciphertext.size() < SIV_DIGEST_SIZE) {
    return std::nullopt;
  }
  siv_cmac_aes128_ctx context{};
  siv_cmac_aes128_set_key(&context, key.data());
  std::vector<uint8_t> plaintext(ciphertext.size() - SIV_DIGEST_SIZE);
  if (siv_cmac_aes128_decrypt_message(&context, nonce.size(), nonce.data(), associatedData.size(),
                                      associatedData.data(), plaintext.size(), plaintext.data(),
                                      ciphertext.data()) != 1) {
    return std::nullopt;
  }
  return plaintext;
}

void NettleSivAead::FillRandom(std::span<uint8_t> out) {
  size_t filled = 0;
  while (filled < out.size()) {
    const ssize_t got = getrandom(out.data() + filled, out.size() - filled, 0);
    if (got < 0 && errno != EINTR) throw std::runtime_error("getrandom failed");
    if (got > 0) filled += static_cast<size_t>(got);
  }
}

}  // namespace quorvane
