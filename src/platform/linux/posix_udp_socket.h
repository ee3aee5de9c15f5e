#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>

#include "ports/datagram_socket.h"
#include "ports/fd_watcher.h"
#include "ports/privileged_helper.h"

namespace quorvane {

// Blocking IPv4 lookup of a host name: the address in network byte order, or none.
using HostResolver = std::function<std::optional<uint32_t>(const std::string& host)>;

// getaddrinfo restricted to IPv4 datagram addresses; the first answer wins.
std::optional<uint32_t> ResolveWithGetaddrinfo(const std::string& host);

// A non-blocking UDP/IPv4 socket whose read and connect notifications arrive through an
// FdWatcher on the user-interface thread. Errors are kept as Windows Sockets codes.
//
// Read notifications start when the socket is created, so a bound listening socket
// hears broadcasts without a connect. The object may be destroyed from inside its own
// OnReceive; a connect notification still queued for a closed or destroyed socket is
// dropped.
//
// Port 123 needs a right the window program does not hold. When its own bind to it is
// refused for want of privilege, the socket takes the one `helper` binds instead; without a
// helper, or when the helper fails, Bind fails with 10013 (10048 when the port is taken).
class PosixUdpSocket : public CMyAsyncSocket {
 public:
  PosixUdpSocket(FdWatcher& watcher, SocketEvents& events,
                 HostResolver resolver = ResolveWithGetaddrinfo,
                 PrivilegedHelper* helper = nullptr);
  ~PosixUdpSocket() override;
  PosixUdpSocket(const PosixUdpSocket&) = delete;
  PosixUdpSocket& operator=(const PosixUdpSocket&) = delete;

  bool Socket() override;
  bool Bind(uint16_t port) override;
  // A dotted IPv4 address is used as it is; any other text goes to the resolver, and a
  // failed lookup leaves code 10022.
  bool Connect(const std::string& host, uint16_t port) override;
  int Send(std::span<const uint8_t> data) override;
  int Receive(std::span<uint8_t> buffer) override;
  std::optional<int64_t> ArrivalSystemTimeNs() const override { return arrivalNs_; }
  void Close() override;
  int LastError() const override { return lastError_; }

  int Descriptor() const { return fd_; }
  // The local port after Bind (0 when unbound or closed), in host byte order.
  uint16_t LocalPort() const;

 private:
  bool Fail(int wsaCode);
  bool FailWithErrno();
  // Sets up a fresh descriptor: receive stamps and read notifications.
  void Prepare();
  bool BindThroughHelper();
  int FailedTransfer(int wsaCode);  // -1, for Send and Receive

  FdWatcher& watcher_;
  SocketEvents& events_;
  HostResolver resolver_;
  PrivilegedHelper* helper_;
  int fd_ = -1;
  int lastError_ = 0;
  bool timestamped_ = false;
  std::optional<int64_t> arrivalNs_;
  // Lives while the descriptor is open; queued notifications hold a weak reference.
  std::shared_ptr<int> openToken_;
};

// Makes PosixUdpSockets that all share one watcher, one resolver and one helper.
class PosixSocketFactory : public SocketFactory {
 public:
  explicit PosixSocketFactory(FdWatcher& watcher, HostResolver resolver = ResolveWithGetaddrinfo,
                              PrivilegedHelper* helper = nullptr)
      : watcher_(watcher), resolver_(std::move(resolver)), helper_(helper) {}
  std::unique_ptr<CMyAsyncSocket> NewSocket(SocketEvents& events) override;

 private:
  FdWatcher& watcher_;
  HostResolver resolver_;
  PrivilegedHelper* helper_;
};

}  // namespace quorvane
