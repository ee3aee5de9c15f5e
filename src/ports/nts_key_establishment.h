#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace quorvane {

// Why a secure connection to a key-establishment server was not made.
enum class KeConnectError {
  None,
  NotReached,             // lookup, connection or time-out
  CertificateNotTrusted,  // no path to a trusted authority
  CertificateExpired,     // expired or not yet valid
  CertificateWrongHost,   // names another host
  HandshakeFailed,        // no TLS 1.3, no "ntske/1", or the handshake broke off
};

// A TLS 1.3 session with a key-establishment server, past a handshake that checked the
// server's certificate and agreed on ALPN "ntske/1". Blocking calls, each bounded in time:
// it is used off the window's thread only.
class NtsKeChannel {
 public:
  virtual ~NtsKeChannel() = default;
  virtual bool Write(std::span<const uint8_t> bytes) = 0;
  // Bytes read; 0 when the server closed the stream; -1 on failure or time-out.
  virtual int Read(std::span<uint8_t> buffer) = 0;
  // The session's keying material exporter (RFC 5705 / RFC 8446 7.5).
  virtual bool ExportKey(std::string_view label, std::span<const uint8_t> context,
                         std::span<uint8_t> out) = 0;
};

struct KeConnection {
  KeConnectError error = KeConnectError::None;
  std::unique_ptr<NtsKeChannel> channel;  // set when error is None
};

// Opens key-establishment sessions. The certificate is checked against the system's trust
// store, the PEM certificates in `trustFile` when it is not empty, and `host`.
class NtsKeConnector {
 public:
  virtual ~NtsKeConnector() = default;
  virtual KeConnection Connect(const std::string& host, uint16_t port,
                               const std::string& trustFile) = 0;
};

}  // namespace quorvane
