#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "ports/nts_aead.h"

namespace quorvane {

// Not a cipher: the "tag" is a keyed checksum over key, nonce, data and plaintext, and the
// plaintext travels in clear after it. Enough to tell whether any of them changed.
class FakeNtsAead : public NtsAead {
 public:
  std::vector<uint8_t> Seal(std::span<const uint8_t> key, std::span<const uint8_t> nonce,
                            std::span<const uint8_t> ad,
                            std::span<const uint8_t> plaintext) override {
    std::vector<uint8_t> out = Tag(key, nonce, ad, plaintext);
    out.insert(out.end(), plaintext.begin(), plaintext.end());
    return out;
  }
  std::optional<std::vector<uint8_t>> Open(std::span<const uint8_t> key,
                                           std::span<const uint8_t> nonce,
                                           std::span<const uint8_t> ad,
                                           std::span<const uint8_t> ciphertext) override {
    if (ciphertext.size() < kTagSize) return std::nullopt;
    const auto plaintext = ciphertext.subspan(kTagSize);
    const auto tag = Tag(key, nonce, ad, plaintext);
    if (!std::equal(tag.begin(), tag.end(), ciphertext.begin())) return std::nullopt;
    return std::vector<uint8_t>(plaintext.begin(), plaintext.end());
  }
  void FillRandom(std::span<uint8_t> out) override {
    for (uint8_t& byte : out) byte = static_cast<uint8_t>(++counter_ * 37);
  }

 private:
  static std::vector<uint8_t> Tag(std::span<const uint8_t> key, std::span<const uint8_t> nonce,
                                  std::span<const uint8_t> ad, std::span<const uint8_t> plaintext) {
    uint64_t a = 14695981039346656037u, b = 1099511628211u;
    for (auto part : {key, nonce, ad, plaintext}) {
      for (uint8_t byte : part) {
        a = (a ^ byte) * 1099511628211u;
        b = (b + byte + a) * 6364136223846793005u;
      }
      a ^= part.size();
    }
    std::vector<uint8_t> tag(kTagSize);
    for (size_t i = 0; i < 8; ++i) {
      tag[i] = static_cast<uint8_t>(a >> (8 * i));
      tag[8 + i] = static_cast<uint8_t>(b >> (8 * i));
    }
    return tag;
  }
  uint64_t counter_ = 0;
};

}  // namespace quorvane
