#include "platform/linux/gnutls_ke_connector.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gnutls/gnutls.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

namespace quorvane {

namespace {

constexpr char kAlpn[] = "ntske/1";
constexpr int kMaxRetries = 16;

// A TCP connection to one of the host's addresses within the time-out; -1 when none answers.
int ConnectTcp(const std::string& host, uint16_t port, int timeoutMs) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) return -1;
  int connected = -1;
  for (addrinfo* a = found; a != nullptr && connected < 0; a = a->ai_next) {
    const int fd = socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) continue;
    int error = connect(fd, a->ai_addr, a->ai_addrlen) == 0 ? 0 : errno;
    if (error == EINPROGRESS) {
      pollfd waiting{fd, POLLOUT, 0};
      socklen_t length = sizeof error;
      error = poll(&waiting, 1, timeoutMs) == 1 &&
                      getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0
                  ? error
                  : ETIMEDOUT;
    }
    if (error == 0 && fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) == 0) {
      const timeval limit{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
      setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
      connected = fd;
    } else {
      close(fd);
    }
  }
  freeaddrinfo(found);
  return connected;
}

bool IsAddressLiteral(const std::string& host) {
  in6_addr address{};
  return inet_pton(AF_INET, host.c_str(), &address) == 1 ||
         inet_pton(AF_INET6, host.c_str(), &address) == 1;
}

KeConnectError CertificateError(gnutls_session_t session) {
  const unsigned status = gnutls_session_get_verify_cert_status(session);
  if ((status & GNUTLS_CERT_SIGNER_NOT_FOUND) != 0) return KeConnectError::CertificateNotTrusted;
  if ((status & (GNUTLS_CERT_EXPIRED | GNUTLS_CERT_NOT_ACTIVATED)) != 0) {
    return KeConnectError::CertificateExpired;
  }
  if ((status & GNUTLS_CERT_UNEXPECTED_OWNER) != 0) return KeConnectError::CertificateWrongHost;
  return KeConnectError::CertificateNotTrusted;
}

bool AgreedOnNtske(gnutls_session_t session) {
  gnutls_datum_t chosen{};
  return gnutls_alpn_get_selected_protocol(session, &chosen) == 0 &&
         chosen.size == sizeof kAlpn - 1 && std::memcmp(chosen.data, kAlpn, chosen.size) == 0 &&
         gnutls_protocol_get_version(session) == GNUTLS_TLS1_3;
}

// Owns the socket, the credentials and the TLS session.
class GnutlsKeChannel : public NtsKeChannel {
 public:
  explicit GnutlsKeChannel(int fd) : fd_(fd) {}
  ~GnutlsKeChannel() override {
    if (session_ != nullptr) gnutls_deinit(session_);
    if (credentials_ != nullptr) gnutls_certificate_free_credentials(credentials_);
    close(fd_);
  }
  GnutlsKeChannel(const GnutlsKeChannel&) = delete;
  GnutlsKeChannel& operator=(const GnutlsKeChannel&) = delete;

  KeConnectError Handshake(const std::string& host, const std::string& trustFile, int timeoutMs) {
    if (gnutls_certificate_allocate_credentials(&credentials_) < 0 ||
        gnutls_certificate_set_x509_system_trust(credentials_) < 0 ||
        gnutls_init(&session_, GNUTLS_CLIENT) < 0) {
      return KeConnectError::HandshakeFailed;
    }
    // A trust file that cannot be read adds no authority; the check then says so.
    if (!trustFile.empty()) {
      gnutls_certificate_set_x509_trust_file(credentials_, trustFile.c_str(), GNUTLS_X509_FMT_PEM);
    }
    const gnutls_datum_t alpn{reinterpret_cast<unsigned char*>(const_cast<char*>(kAlpn)),
                              sizeof kAlpn - 1};
    if (gnutls_priority_set_direct(session_, "NORMAL:-VERS-ALL:+VERS-TLS1.3", nullptr) < 0 ||
        gnutls_credentials_set(session_, GNUTLS_CRD_CERTIFICATE, credentials_) < 0 ||
        gnutls_alpn_set_protocols(session_, &alpn, 1, GNUTLS_ALPN_MANDATORY) < 0) {
      return KeConnectError::HandshakeFailed;
    }
    if (!IsAddressLiteral(host)) {
      gnutls_server_name_set(session_, GNUTLS_NAME_DNS, host.data(), host.size());
    }
    gnutls_session_set_verify_cert(session_, host.c_str(), 0);
    gnutls_transport_set_int(session_, fd_);
    gnutls_handshake_set_timeout(session_, timeoutMs);
    gnutls_record_set_timeout(session_, timeoutMs);
    int result;
    do {
      result = gnutls_handshake(session_);
    } while (result < 0 && gnutls_error_is_fatal(result) == 0);
    if (result == GNUTLS_E_CERTIFICATE_VERIFICATION_ERROR) return CertificateError(session_);
    if (result < 0 || !AgreedOnNtske(session_)) return KeConnectError::HandshakeFailed;
    return KeConnectError::None;
  }

  bool Write(std::span<const uint8_t> bytes) override {
    size_t sent = 0;
    while (sent < bytes.size()) {
      const ssize_t n = gnutls_record_send(session_, bytes.data() + sent, bytes.size() - sent);
      if (n == GNUTLS_E_INTERRUPTED) continue;
      if (n <= 0) return false;
      sent += static_cast<size_t>(n);
    }
    return true;
  }

  // After a TLS 1.3 post-handshake message (a session ticket) the call returns "again" even
  // on a blocking socket; the record time-out bounds each call.
  int Read(std::span<uint8_t> buffer) override {
    ssize_t n;
    int calls = 0;
    do {
      n = gnutls_record_recv(session_, buffer.data(), buffer.size());
    } while ((n == GNUTLS_E_INTERRUPTED || n == GNUTLS_E_AGAIN) && ++calls < kMaxRetries);
    return n < 0 ? -1 : static_cast<int>(n);
  }

  bool ExportKey(std::string_view label, std::span<const uint8_t> context,
                 std::span<uint8_t> out) override {
    return gnutls_prf_rfc5705(session_, label.size(), label.data(), context.size(),
                              reinterpret_cast<const char*>(context.data()), out.size(),
                              reinterpret_cast<char*>(out.data())) == 0;
  }

 private:
  int fd_;
  gnutls_certificate_credentials_t credentials_ = nullptr;
  gnutls_session_t session_ = nullptr;
};

}  // namespace

KeConnection GnutlsKeConnector::Connect(const std::string& typed, uint16_t port,
                                        const std::string& trustFile) {
  // An IPv6 address may be typed in brackets; the lookup and the certificate take it bare.
  const bool bracketed = typed.size() >= 2 && typed.front() == '[' && typed.back() == ']';
  const std::string host = bracketed ? typed.substr(1, typed.size() - 2) : typed;
  const int timeoutMs = static_cast<int>(timeout_.count());
  const int fd = ConnectTcp(host, port, timeoutMs);
  if (fd < 0) return {KeConnectError::NotReached, nullptr};
  auto channel = std::make_unique<GnutlsKeChannel>(fd);
  const KeConnectError error = channel->Handshake(host, trustFile, timeoutMs);
  if (error != KeConnectError::None) return {error, nullptr};
  return {KeConnectError::None, std::move(channel)};
}

}  // namespace quorvane
