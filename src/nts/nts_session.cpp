#include "nts/nts_session.h"

namespace quorvane::nts {

void NtsSession::Start(const std::string& keHost, const KeResult& result) {
  keys_ = result.keys;
  cookies_.Clear();
  for (const Cookie& cookie : result.grant.cookies) cookies_.Add(cookie);
  ntpHost_ = result.grant.server.empty() ? keHost : result.grant.server;
  ntpPort_ = result.grant.port.value_or(kNtsNtpPort);
  inFlight_.reset();
}

std::vector<uint8_t> NtsSession::NextRequest(std::span<const uint8_t> header, NtsAead& aead) {
  const Cookie cookie = cookies_.Take().value_or(Cookie{});
  const size_t placeholders = CookieStore::kMaxCookies - 1 - cookies_.Size();
  NtsRequest request = BuildNtsRequest(header, cookie, placeholders, keys_.c2s, aead);
  inFlight_ = request.uniqueId;
  return std::move(request.bytes);
}

bool NtsSession::AcceptReply(std::span<const uint8_t> reply, NtsAead& aead) {
  if (!inFlight_) return false;
  auto contents = CheckNtsReply(reply, *inFlight_, keys_.s2c, aead);
  if (!contents) return false;
  inFlight_.reset();
  for (Cookie& cookie : contents->cookies) cookies_.Add(std::move(cookie));
  return true;
}

}  // namespace quorvane::nts
