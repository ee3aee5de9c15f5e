#include "nts/nts_packet.h"

#include <algorithm>

#include "nts/extension_fields.h"

namespace quorvane::nts {

namespace {

bool Is(const ExtensionField& field, FieldType type) {
  return field.type == static_cast<uint16_t>(type);
}

// The fields before the Authenticator hold exactly one Unique Identifier, and it is ours.
bool UniqueIdMatches(std::span<const ExtensionField> authenticated, const UniqueId& expected) {
  const auto count = std::count_if(authenticated.begin(), authenticated.end(), [](const auto& f) {
    return Is(f, FieldType::UniqueIdentifier);
  });
  if (count != 1) return false;
  const auto field = std::find_if(authenticated.begin(), authenticated.end(),
                                  [](const auto& f) { return Is(f, FieldType::UniqueIdentifier); });
  return field->body.size() >= expected.size() &&
         std::equal(expected.begin(), expected.end(), field->body.begin());
}

std::optional<NtsReplyContents> CookiesFrom(std::span<const uint8_t> plaintext) {
  const auto inner = SplitFields(plaintext, 0);
  if (!inner) return std::nullopt;
  NtsReplyContents contents;
  for (const auto& field : *inner) {
    if (Is(field, FieldType::NtsCookie))
      contents.cookies.emplace_back(field.body.begin(), field.body.end());
  }
  return contents;
}

}  // namespace

NtsRequest BuildNtsRequest(std::span<const uint8_t> header, const Cookie& cookie,
                           size_t placeholders, std::span<const uint8_t> c2sKey, NtsAead& aead) {
  NtsRequest request;
  aead.FillRandom(request.uniqueId);
  request.bytes.assign(header.begin(), header.end());
  AppendField(request.bytes, FieldType::UniqueIdentifier, request.uniqueId);
  AppendField(request.bytes, FieldType::NtsCookie, cookie);
  const std::vector<uint8_t> placeholder(cookie.size(), 0);
  for (size_t i = 0; i < placeholders; ++i) {
    AppendField(request.bytes, FieldType::CookiePlaceholder, placeholder);
  }
  std::array<uint8_t, kNonceSize> nonce{};
  aead.FillRandom(nonce);
  const auto ciphertext = aead.Seal(c2sKey, nonce, request.bytes, {});
  AppendField(request.bytes, FieldType::Authenticator, EncodeAuthenticator(nonce, ciphertext));
  return request;
}

std::optional<NtsReplyContents> CheckNtsReply(std::span<const uint8_t> reply,
                                              const UniqueId& expected,
                                              std::span<const uint8_t> s2cKey, NtsAead& aead) {
  if (reply.size() <= kNtpHeaderSize) return std::nullopt;
  const auto fields = SplitFields(reply, kNtpHeaderSize);
  if (!fields) return std::nullopt;
  const auto authenticator = std::find_if(fields->begin(), fields->end(), [](const auto& f) {
    return Is(f, FieldType::Authenticator);
  });
  if (authenticator == fields->end()) return std::nullopt;
  const std::span<const ExtensionField> authenticated(fields->begin(), authenticator);
  if (!UniqueIdMatches(authenticated, expected)) return std::nullopt;
  const auto body = DecodeAuthenticator(authenticator->body);
  if (!body) return std::nullopt;
  const auto plaintext =
      aead.Open(s2cKey, body->nonce, reply.first(authenticator->offset), body->ciphertext);
  if (!plaintext) return std::nullopt;
  return CookiesFrom(*plaintext);
}

}  // namespace quorvane::nts
