#pragma once

#include <chrono>

#include "ports/nts_key_establishment.h"

namespace quorvane {

// Key-establishment sessions over GnuTLS: TCP to the host (any of its addresses), TLS 1.3
// only, ALPN "ntske/1" required, the certificate checked against the system's trust store,
// an optional PEM file of further authorities, and the host name. Every network step is
// bounded by `timeout`.
class GnutlsKeConnector : public NtsKeConnector {
 public:
  explicit GnutlsKeConnector(std::chrono::milliseconds timeout = std::chrono::seconds(5))
      : timeout_(timeout) {}
  KeConnection Connect(const std::string& host, uint16_t port,
                       const std::string& trustFile) override;

 private:
  std::chrono::milliseconds timeout_;
};

}  // namespace quorvane
