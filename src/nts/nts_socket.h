#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "nts/nts_client.h"
#include "ports/clock.h"
#include "ports/datagram_socket.h"

namespace quorvane::nts {

// What the program lets an authenticated socket do beside its socket calls.
struct NtsSocketHooks {
  // Shows a failure's status text where the engine shows its own.
  std::function<void(const std::string&)> showStatus;
  // Sends a request that waited for key establishment: the hook calls `send` and makes the
  // engine's send time that of the call.
  std::function<void(const std::function<void()>& send)> sendLate;
};

// An engine socket whose polls are authenticated. The engine sends its 48-byte request and
// reads a 48-byte reply as always; this socket runs key establishment when the server's
// cookies are used up (the request waits for it), wraps the request in the NTS fields, and
// hands on only a reply that authenticates. Anything else is dropped with its status text, so
// a failing server ends in the engine's time-out, retries and failover: never a fallback to
// an unauthenticated reply.
class NtsSocket : public CMyAsyncSocket, private SocketEvents {
 public:
  NtsSocket(NtsClient& client, SocketFactory& inner, SocketEvents& events, NtsSocketHooks hooks);
  ~NtsSocket() override;

  bool Socket() override { return socket_->Socket(); }
  bool Bind(uint16_t port) override { return socket_->Bind(port); }
  bool Connect(const std::string& host, uint16_t port) override;
  bool LookupPending() const override { return engineAwaitsLookup_; }
  int Send(std::span<const uint8_t> data) override;
  int Receive(std::span<uint8_t> buffer) override;
  std::optional<int64_t> ArrivalSystemTimeNs() const override {
    return socket_->ArrivalSystemTimeNs();
  }
  void Close() override {
    engineAwaitsLookup_ = false;
    socket_->Close();
  }
  int LastError() const override { return socket_->LastError(); }

 private:
  void OnReceive() override;
  void OnConnect(int errorCode) override { events_.OnConnect(errorCode); }
  void OnClose() override { events_.OnClose(); }
  void OnLookupDone(int errorCode) override;

  void StartKeyEstablishment();
  void OnKeyEstablished(const KeResult& result);
  int SendAuthenticated(std::span<const uint8_t> header);
  void SendWaitingRequest();

  NtsClient& client_;
  SocketEvents& events_;
  NtsSocketHooks hooks_;
  std::unique_ptr<CMyAsyncSocket> socket_;
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
  std::string host_;
  bool establishing_ = false;
  bool engineAwaitsLookup_ = false;  // the engine's connect step waits for the inner lookup
  std::optional<std::vector<uint8_t>> waitingRequest_;
  std::optional<std::vector<uint8_t>> acceptedReply_;
  int receiveResult_ = -1;
};

// The sendLate hook for the engine: the send time handed to `setT1` is read as the engine's
// own send reads it, from before the send when the call was held up on its way back.
std::function<void(const std::function<void()>&)> EngineSendLate(
    Clock& clock, std::function<void(NtpSeconds)> setT1);

// Makes authenticated sockets while `useNts` says so, plain ones otherwise.
class NtsSocketFactory : public SocketFactory {
 public:
  NtsSocketFactory(NtsClient& client, SocketFactory& inner, std::function<bool()> useNts,
                   NtsSocketHooks hooks)
      : client_(client), inner_(inner), useNts_(std::move(useNts)), hooks_(std::move(hooks)) {}
  std::unique_ptr<CMyAsyncSocket> NewSocket(SocketEvents& events) override;

 private:
  NtsClient& client_;
  SocketFactory& inner_;
  std::function<bool()> useNts_;
  NtsSocketHooks hooks_;
};

}  // namespace quorvane::nts
