#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>

#include "platform/linux/host_lookup.h"
#include "ports/datagram_socket.h"
#include "ports/fd_watcher.h"
#include "ports/privileged_helper.h"

namespace quorvane {

// A non-blocking UDP socket whose read, lookup and connect notifications arrive through an
// FdWatcher on the user-interface thread. Errors are kept as Windows Sockets codes. It is
// IPv4 until it connects to an IPv6 address; it then continues on a descriptor of that
// family, bound to the same port.
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
                 HostResolver resolver = ResolveWithGetaddrinfo, PrivilegedHelper* helper = nullptr,
                 std::shared_ptr<AddressRotation> rotation = nullptr);
  ~PosixUdpSocket() override;
  PosixUdpSocket(const PosixUdpSocket&) = delete;
  PosixUdpSocket& operator=(const PosixUdpSocket&) = delete;

  bool Socket() override;
  bool Bind(uint16_t port) override;
  // An address is used as it is; any other text goes to the resolver on a thread of its
  // own, and a lookup that finds no address ends with code 10022. Of several addresses the
  // rotation picks one.
  bool Connect(const std::string& host, uint16_t port) override;
  bool LookupPending() const override { return lookup_ != nullptr; }
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
  void OnLookupAnswer(std::vector<SocketAddress> found);
  bool ConnectTo(const SocketAddress& peer);
  // A fresh descriptor of `family` in place of the current one, bound as it was.
  bool Reopen(int family);

  FdWatcher& watcher_;
  SocketEvents& events_;
  HostResolver resolver_;
  PrivilegedHelper* helper_;
  std::shared_ptr<AddressRotation> rotation_;
  std::unique_ptr<PendingLookup> lookup_;
  std::string lookedUpHost_;
  std::string connectedName_;  // the name whose address this socket took, for the rotation
  uint16_t peerPort_ = 0;
  bool answered_ = false;  // a datagram arrived since the connect
  int family_ = 0;
  std::optional<uint16_t> boundPort_;
  int fd_ = -1;
  int lastError_ = 0;
  bool timestamped_ = false;
  std::optional<int64_t> arrivalNs_;
  // Lives while the descriptor is open; queued notifications hold a weak reference.
  std::shared_ptr<int> openToken_;
};

// Makes PosixUdpSockets that all share one watcher, one resolver, one helper and one
// rotation through each name's addresses.
class PosixSocketFactory : public SocketFactory {
 public:
  explicit PosixSocketFactory(FdWatcher& watcher, HostResolver resolver = ResolveWithGetaddrinfo,
                              PrivilegedHelper* helper = nullptr)
      : watcher_(watcher),
        resolver_(std::move(resolver)),
        helper_(helper),
        rotation_(std::make_shared<AddressRotation>()) {}
  std::unique_ptr<CMyAsyncSocket> NewSocket(SocketEvents& events) override;

 private:
  FdWatcher& watcher_;
  HostResolver resolver_;
  PrivilegedHelper* helper_;
  std::shared_ptr<AddressRotation> rotation_;
};

}  // namespace quorvane
