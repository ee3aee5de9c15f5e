#include "nts/extension_fields.h"

#include <algorithm>

#include "nts/wire.h"

namespace quorvane::nts {

namespace {

constexpr size_t kMinNonce = 16;

size_t PaddedTo4(size_t length) { return (length + 3) & ~size_t{3}; }

}  // namespace

void AppendField(std::vector<uint8_t>& out, FieldType type, std::span<const uint8_t> body) {
  const size_t length = std::max(kFieldHeader + PaddedTo4(body.size()), kMinFieldSize);
  AppendU16(out, static_cast<uint16_t>(type));
  AppendU16(out, static_cast<uint16_t>(length));
  out.insert(out.end(), body.begin(), body.end());
  out.resize(out.size() + length - kFieldHeader - body.size(), 0);
}

std::optional<std::vector<ExtensionField>> SplitFields(std::span<const uint8_t> bytes,
                                                       size_t start) {
  std::vector<ExtensionField> fields;
  size_t at = start;
  while (at < bytes.size()) {
    if (bytes.size() - at < kFieldHeader) return std::nullopt;
    const size_t length = ReadU16(bytes, at + 2);
    if (length < kFieldHeader || length % 4 != 0 || length > bytes.size() - at) {
      return std::nullopt;
    }
    fields.push_back(
        {ReadU16(bytes, at), at, bytes.subspan(at + kFieldHeader, length - kFieldHeader)});
    at += length;
  }
  return fields;
}

std::vector<uint8_t> EncodeAuthenticator(std::span<const uint8_t> nonce,
                                         std::span<const uint8_t> ciphertext) {
  std::vector<uint8_t> body;
  AppendU16(body, static_cast<uint16_t>(nonce.size()));
  AppendU16(body, static_cast<uint16_t>(ciphertext.size()));
  body.insert(body.end(), nonce.begin(), nonce.end());
  body.resize(4 + PaddedTo4(nonce.size()), 0);
  body.insert(body.end(), ciphertext.begin(), ciphertext.end());
  body.resize(4 + PaddedTo4(nonce.size()) + PaddedTo4(ciphertext.size()), 0);
  return body;
}

std::optional<AuthenticatorBody> DecodeAuthenticator(std::span<const uint8_t> body) {
  if (body.size() < 4) return std::nullopt;
  const size_t nonceLength = ReadU16(body, 0);
  const size_t cipherLength = ReadU16(body, 2);
  const size_t cipherAt = 4 + PaddedTo4(nonceLength);
  if (nonceLength < kMinNonce || cipherAt + PaddedTo4(cipherLength) > body.size()) {
    return std::nullopt;
  }
  return AuthenticatorBody{body.subspan(4, nonceLength), body.subspan(cipherAt, cipherLength)};
}

}  // namespace quorvane::nts
