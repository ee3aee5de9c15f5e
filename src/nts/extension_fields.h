#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace quorvane::nts {

// NTPv4 extension fields (RFC 7822) that NTS uses (RFC 8915 section 5).
enum class FieldType : uint16_t {
  UniqueIdentifier = 0x0104,
  NtsCookie = 0x0204,
  CookiePlaceholder = 0x0304,
  Authenticator = 0x0404,
};

inline constexpr size_t kNtpHeaderSize = 48;
inline constexpr size_t kFieldHeader = 4;
inline constexpr size_t kMinFieldSize = 16;

struct ExtensionField {
  uint16_t type = 0;
  size_t offset = 0;              // where the field starts in the buffer it was split from
  std::span<const uint8_t> body;  // including any padding
};

// Appends a field whose body is padded with zeros to a multiple of 4, and the whole field
// to at least kMinFieldSize.
void AppendField(std::vector<uint8_t>& out, FieldType type, std::span<const uint8_t> body);

// The fields of `bytes` from `start` to its end; none when a length is short, unaligned
// or runs past the end.
std::optional<std::vector<ExtensionField>> SplitFields(std::span<const uint8_t> bytes,
                                                       size_t start);

// The Authenticator and Encrypted Extension Fields body: nonce and ciphertext.
struct AuthenticatorBody {
  std::span<const uint8_t> nonce;
  std::span<const uint8_t> ciphertext;
};

std::vector<uint8_t> EncodeAuthenticator(std::span<const uint8_t> nonce,
                                         std::span<const uint8_t> ciphertext);
// None when the lengths do not fit the body or the nonce is shorter than 16 bytes.
std::optional<AuthenticatorBody> DecodeAuthenticator(std::span<const uint8_t> body);

}  // namespace quorvane::nts
