#include "nts/nts_socket.h"

#include <algorithm>
#include <array>

#include "nts/extension_fields.h"

namespace quorvane::nts {

namespace {

// Large enough for a reply carrying eight new cookies.
constexpr size_t kMaxReply = 2048;

}  // namespace

NtsSocket::NtsSocket(NtsClient& client, SocketFactory& inner, SocketEvents& events,
                     NtsSocketHooks hooks)
    : client_(client), events_(events), hooks_(std::move(hooks)), socket_(inner.NewSocket(*this)) {}

NtsSocket::~NtsSocket() = default;

// The NTP server and port are the ones key establishment named (by default the same host on
// port 123), so the engine's port is not used.
bool NtsSocket::Connect(const std::string& host, uint16_t /*port*/) {
  host_ = host;
  NtsSession& session = client_.SessionFor(host);
  if (session.NeedsKeyEstablishment()) {
    StartKeyEstablishment();
    return true;
  }
  const bool connected = socket_->Connect(session.NtpHost(), session.NtpPort());
  engineAwaitsLookup_ = connected && socket_->LookupPending();
  return connected;
}

void NtsSocket::OnLookupDone(int errorCode) {
  if (engineAwaitsLookup_) {
    engineAwaitsLookup_ = false;
    events_.OnLookupDone(errorCode);
    return;
  }
  // The server named by key establishment was looked up; its waiting request may leave.
  if (errorCode == 0) SendWaitingRequest();
}

void NtsSocket::StartKeyEstablishment() {
  if (establishing_) return;
  establishing_ = true;
  client_.EstablishAsync(host_, alive_,
                         [this](const KeResult& result) { OnKeyEstablished(result); });
}

void NtsSocket::OnKeyEstablished(const KeResult& result) {
  establishing_ = false;
  if (result.failure) {
    // Nothing is sent: the attempt times out like a silent server, then retries and fails over.
    if (hooks_.showStatus) hooks_.showStatus(NtsStatusText(*result.failure));
    return;
  }
  NtsSession& session = client_.SessionFor(host_);
  session.Start(host_, result);
  if (!socket_->Connect(session.NtpHost(), session.NtpPort())) return;
  if (socket_->LookupPending()) return;  // OnLookupDone sends the request
  SendWaitingRequest();
}

void NtsSocket::SendWaitingRequest() {
  if (!waitingRequest_) return;
  const std::vector<uint8_t> header = std::move(*waitingRequest_);
  waitingRequest_.reset();
  const auto send = [this, &header] { SendAuthenticated(header); };
  if (hooks_.sendLate) {
    hooks_.sendLate(send);
  } else {
    send();
  }
}

int NtsSocket::Send(std::span<const uint8_t> data) {
  if (data.size() < kNtpHeaderSize) return socket_->Send(data);
  std::vector<uint8_t> header(data.begin(), data.begin() + kNtpHeaderSize);
  header[0] = static_cast<uint8_t>((header[0] & 0xc7) | (4 << 3));  // NTS is NTPv4
  if (establishing_ || client_.SessionFor(host_).NeedsKeyEstablishment()) {
    waitingRequest_ = std::move(header);
    StartKeyEstablishment();
    return static_cast<int>(data.size());
  }
  const int sent = SendAuthenticated(header);
  return sent < 0 ? sent : static_cast<int>(data.size());
}

int NtsSocket::SendAuthenticated(std::span<const uint8_t> header) {
  return socket_->Send(client_.SessionFor(host_).NextRequest(header, client_.Aead()));
}

void NtsSocket::OnReceive() {
  std::array<uint8_t, kMaxReply> buffer{};
  const int length = socket_->Receive(buffer);
  if (length < 0) {
    receiveResult_ = -1;
    events_.OnReceive();  // the engine reports the failed read
    return;
  }
  const auto reply = std::span(buffer).first(static_cast<size_t>(length));
  if (!client_.SessionFor(host_).AcceptReply(reply, client_.Aead())) {
    if (hooks_.showStatus) hooks_.showStatus(NtsStatusText(NtsFailure::NotAuthenticated));
    return;
  }
  acceptedReply_.emplace(reply.begin(), reply.begin() + kNtpHeaderSize);
  receiveResult_ = static_cast<int>(kNtpHeaderSize);
  events_.OnReceive();  // may destroy this socket: nothing after it
}

int NtsSocket::Receive(std::span<uint8_t> buffer) {
  if (!acceptedReply_) return receiveResult_;
  const size_t n = std::min(buffer.size(), acceptedReply_->size());
  std::copy_n(acceptedReply_->begin(), n, buffer.begin());
  acceptedReply_.reset();
  return static_cast<int>(n);
}

std::function<void(const std::function<void()>&)> EngineSendLate(
    Clock& clock, std::function<void(NtpSeconds)> setT1) {
  return [&clock, setT1 = std::move(setT1)](const std::function<void()>& send) {
    constexpr double kHeldUpSendSeconds = 100e-6;
    const NtpSeconds before = clock.ReadLocalClock();
    send();
    const NtpSeconds after = clock.ReadLocalClock();
    setT1(after - before > kHeldUpSendSeconds ? before : after);
  };
}

std::unique_ptr<CMyAsyncSocket> NtsSocketFactory::NewSocket(SocketEvents& events) {
  if (!useNts_()) return inner_.NewSocket(events);
  return std::make_unique<NtsSocket>(client_, inner_, events, hooks_);
}

}  // namespace quorvane::nts
