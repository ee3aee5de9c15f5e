#include "fakes/fake_socket.h"

#include <algorithm>

namespace quorvane::testing {

FakeSocket::~FakeSocket() {
  record_.closed = true;
  if (factory_.live == this) factory_.live = nullptr;
}

bool FakeSocket::Socket() {
  if (factory_.failCreate) {
    lastError_ = 10024;
    return false;
  }
  record_.created = true;
  return true;
}

bool FakeSocket::Bind(uint16_t port) {
  if (factory_.bindError != 0 && port != 0) {
    lastError_ = factory_.bindError;
    return false;
  }
  record_.boundPort = port;
  return true;
}

bool FakeSocket::Connect(const std::string& host, uint16_t port) {
  if (factory_.duringConnect) factory_.duringConnect();
  record_.connectedHost = host;
  record_.connectedPort = port;
  if (factory_.lookupPending) {
    lookupPending_ = true;
    return true;
  }
  if (factory_.failConnect) {
    lastError_ = factory_.connectError;
    return false;
  }
  return true;
}

int FakeSocket::Send(std::span<const uint8_t> data) {
  record_.sent.emplace_back(data.begin(), data.end());
  if (factory_.duringSend) factory_.duringSend();
  return static_cast<int>(data.size());
}

int FakeSocket::Receive(std::span<uint8_t> buffer) {
  if (factory_.datagrams.empty()) {
    lastError_ = factory_.receiveError;
    return -1;
  }
  std::vector<uint8_t> d = std::move(factory_.datagrams.front());
  factory_.datagrams.pop_front();
  if (d.size() > buffer.size()) {
    lastError_ = 10040;
    return -1;
  }
  std::copy(d.begin(), d.end(), buffer.begin());
  return static_cast<int>(d.size());
}

void FakeSocket::Close() {
  record_.closed = true;
  lookupPending_ = false;
}

const std::vector<uint8_t>& FakeSocket::LastSent() const {
  static const std::vector<uint8_t> none;
  return record_.sent.empty() ? none : record_.sent.back();
}

void FakeSocket::FinishLookup(int errorCode) {
  if (!lookupPending_) return;
  lookupPending_ = false;
  if (errorCode != 0) lastError_ = errorCode;
  events_.OnLookupDone(errorCode);
}

std::unique_ptr<CMyAsyncSocket> FakeSocketFactory::NewSocket(SocketEvents& events) {
  records.push_back(std::make_unique<FakeSocketRecord>());
  auto socket = std::make_unique<FakeSocket>(*this, events, *records.back());
  live = socket.get();
  return socket;
}

size_t FakeSocketFactory::RequestsSent() const {
  size_t n = 0;
  for (const auto& r : records) n += r->sent.size();
  return n;
}

void FakeSocketFactory::Deliver(std::vector<uint8_t> datagram) {
  const bool unanswered =
      datagram.size() >= 32 &&
      std::all_of(datagram.begin() + 24, datagram.begin() + 32, [](uint8_t b) { return b == 0; });
  if (echoRequest && unanswered && live != nullptr && live->LastSent().size() >= 48) {
    std::copy_n(live->LastSent().begin() + 40, 8, datagram.begin() + 24);
  }
  datagrams.push_back(std::move(datagram));
  if (live != nullptr) live->events().OnReceive();
}

}  // namespace quorvane::testing
