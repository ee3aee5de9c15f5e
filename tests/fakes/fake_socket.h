#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ports/datagram_socket.h"

namespace quorvane::testing {

// What every socket made by a FakeSocketFactory did, kept after the socket is gone.
struct FakeSocketRecord {
  bool created = false;
  bool closed = false;
  uint16_t boundPort = 0;
  std::string connectedHost;
  uint16_t connectedPort = 0;
  std::vector<std::vector<uint8_t>> sent;
};

class FakeSocketFactory;

class FakeSocket : public CMyAsyncSocket {
 public:
  FakeSocket(FakeSocketFactory& factory, SocketEvents& events, FakeSocketRecord& record)
      : factory_(factory), events_(events), record_(record) {}
  ~FakeSocket() override;
  bool Socket() override;
  bool Bind(uint16_t port) override;
  bool Connect(const std::string& host, uint16_t port) override;
  int Send(std::span<const uint8_t> data) override;
  int Receive(std::span<uint8_t> buffer) override;
  void Close() override;
  int LastError() const override { return lastError_; }
  bool LookupPending() const override { return lookupPending_; }
  SocketEvents& events() { return events_; }
  const std::vector<uint8_t>& LastSent() const;
  // Ends the lookup Connect started, as the platform's answer would.
  void FinishLookup(int errorCode);

 private:
  FakeSocketFactory& factory_;
  SocketEvents& events_;
  FakeSocketRecord& record_;
  int lastError_ = 0;
  bool lookupPending_ = false;
};

// Hands out FakeSockets and scripts how they behave.
class FakeSocketFactory : public SocketFactory {
 public:
  bool failCreate = false;
  bool failConnect = false;
  int connectError = 10022;
  int bindError = 0;  // non-zero: Bind fails with this code
  // Connect leaves the lookup pending until FinishLookup on the socket.
  bool lookupPending = false;
  // Advances a clock during Connect, to model a slow host-name lookup.
  std::function<void()> duringConnect;
  // Advances a clock during Send, to model a thread held up in the send.
  std::function<void()> duringSend;
  // Datagrams the next Receive calls return; an empty optional is a failed read.
  std::deque<std::vector<uint8_t>> datagrams;
  int receiveError = 10054;
  std::deque<std::unique_ptr<FakeSocketRecord>> records;
  FakeSocket* live = nullptr;  // the most recent socket still alive

  std::unique_ptr<CMyAsyncSocket> NewSocket(SocketEvents& events) override;
  FakeSocketRecord& Last() { return *records.back(); }
  size_t RequestsSent() const;
  // Queues a reply and delivers the read notification to the live socket's sink. Like a
  // server, it echoes the live socket's last request: a datagram long enough whose originate
  // timestamp is all zero gets that request's transmit timestamp there.
  void Deliver(std::vector<uint8_t> datagram);
  bool echoRequest = true;
};

}  // namespace quorvane::testing
