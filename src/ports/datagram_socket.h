#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

namespace quorvane {

// Notifications of an engine socket, always delivered on the user-interface thread, never
// from inside a call on the socket itself.
class SocketEvents {
 public:
  virtual ~SocketEvents() = default;
  virtual void OnReceive() = 0;
  virtual void OnConnect(int errorCode) = 0;
  virtual void OnClose() = 0;
  // The host-name lookup that Connect started has ended: 0 when the peer is now fixed,
  // otherwise the code Connect would have failed with. Never after Close.
  virtual void OnLookupDone(int /*errorCode*/) {}
};

// One UDP socket, IPv4 or IPv6 by the address it connects to. Failures leave a Windows
// Sockets error code in LastError(), so the error texts are the same on every platform.
class CMyAsyncSocket {
 public:
  virtual ~CMyAsyncSocket() = default;
  // The platform socket: a datagram socket, not yet bound (IPv4 until a connect names an
  // IPv6 peer).
  virtual bool Socket() = 0;
  virtual bool Bind(uint16_t port) = 0;  // every local address
  // A poll socket: Socket() and Bind(0).
  virtual bool Create() { return Socket() && Bind(0); }
  // Fixes the peer. An address (IPv4 dotted, or IPv6 with or without brackets) is used at
  // once. Any other text is looked up away from the caller's thread, which never waits for a
  // name server: the call then returns true with LookupPending() set, and OnLookupDone
  // follows with the outcome. A connect notification follows once the peer is fixed.
  virtual bool Connect(const std::string& host, uint16_t port) = 0;
  // A lookup started by Connect has not answered yet. Closing the socket abandons it.
  virtual bool LookupPending() const { return false; }
  // Bytes sent, or -1.
  virtual int Send(std::span<const uint8_t> data) = 0;
  // Reads one datagram into buffer: its length, or -1 when the read fails or the datagram
  // is longer than the buffer (it is then discarded, code 10040).
  virtual int Receive(std::span<uint8_t> buffer) = 0;
  // When the datagram last read by Receive arrived, as the kernel stamped it: nanoseconds
  // since 1970 on the system's real-time clock. None where the platform gives no stamp.
  virtual std::optional<int64_t> ArrivalSystemTimeNs() const { return std::nullopt; }
  virtual void Close() = 0;
  virtual int LastError() const = 0;
};

// Makes sockets whose notifications go to the given sink.
class SocketFactory {
 public:
  virtual ~SocketFactory() = default;
  virtual std::unique_ptr<CMyAsyncSocket> NewSocket(SocketEvents& events) = 0;
};

}  // namespace quorvane
