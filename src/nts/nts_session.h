#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "nts/cookie_store.h"
#include "nts/key_establishment.h"
#include "nts/nts_packet.h"

namespace quorvane::nts {

// What a client keeps between polls of one server: the keys and cookies of its last key
// establishment, where to send requests, and the identifier of the request in flight.
class NtsSession {
 public:
  // Takes a successful key establishment with `keHost`.
  void Start(const std::string& keHost, const KeResult& result);
  // No cookie left (or never started): key establishment must run before the next request.
  bool NeedsKeyEstablishment() const { return cookies_.Empty(); }
  // The NTP server and port named by the key establishment, else its host on port 123.
  const std::string& NtpHost() const { return ntpHost_; }
  uint16_t NtpPort() const { return ntpPort_; }
  size_t CookieCount() const { return cookies_.Size(); }

  // The next request around a 48-byte header; it uses up a cookie and asks for enough
  // new ones to fill the store again. Only when !NeedsKeyEstablishment().
  std::vector<uint8_t> NextRequest(std::span<const uint8_t> header, NtsAead& aead);
  // True for an authenticated reply to the request in flight; its cookies are kept, and the
  // request counts as answered, so the same reply again is refused.
  bool AcceptReply(std::span<const uint8_t> reply, NtsAead& aead);

 private:
  NtsKeys keys_;
  CookieStore cookies_;
  std::string ntpHost_;
  uint16_t ntpPort_ = kNtsNtpPort;
  std::optional<UniqueId> inFlight_;
};

}  // namespace quorvane::nts
