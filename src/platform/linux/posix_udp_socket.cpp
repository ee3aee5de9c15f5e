#include "platform/linux/posix_udp_socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/linux/errno_to_wsa.h"
#include "sntp/sntp_packet.h"
#include "sntp/socket_error_text.h"

namespace quorvane {

namespace {

std::optional<int64_t> ReceiveStamp(msghdr& message) {
  for (cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr; c = CMSG_NXTHDR(&message, c)) {
    if (c->cmsg_level != SOL_SOCKET || c->cmsg_type != SCM_TIMESTAMPNS) continue;
    timespec stamp{};
    std::memcpy(&stamp, CMSG_DATA(c), sizeof stamp);
    return int64_t{stamp.tv_sec} * 1'000'000'000 + stamp.tv_nsec;
  }
  return std::nullopt;
}

}  // namespace

PosixUdpSocket::PosixUdpSocket(FdWatcher& watcher, SocketEvents& events, HostResolver resolver,
                               PrivilegedHelper* helper, std::shared_ptr<AddressRotation> rotation)
    : watcher_(watcher),
      events_(events),
      resolver_(std::move(resolver)),
      helper_(helper),
      rotation_(rotation ? std::move(rotation) : std::make_shared<AddressRotation>()) {}

PosixUdpSocket::~PosixUdpSocket() { Close(); }

bool PosixUdpSocket::Fail(int wsaCode) {
  lastError_ = wsaCode;
  return false;
}

bool PosixUdpSocket::FailWithErrno() { return Fail(WsaCodeFromErrno(errno)); }

int PosixUdpSocket::FailedTransfer(int wsaCode) {
  lastError_ = wsaCode;
  return -1;
}

bool PosixUdpSocket::Socket() {
  // One descriptor per object: a second Socket() would leak or orphan the first.
  if (fd_ >= 0) return Fail(wsa::kInvalid);
  fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd_ < 0) return FailWithErrno();
  family_ = AF_INET;
  openToken_ = std::make_shared<int>(0);
  Prepare();
  return true;
}

bool PosixUdpSocket::Reopen(int family) {
  const int fresh = socket(family, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fresh < 0) return FailWithErrno();
  watcher_.Unwatch(fd_);
  close(fd_);
  fd_ = fresh;
  family_ = family;
  Prepare();
  if (!boundPort_) return true;
  const std::optional<SocketAddress> local =
      ParseAddressText(family == AF_INET6 ? "::" : "0.0.0.0", *boundPort_);
  if (bind(fd_, local->Raw(), local->length) == 0) return true;
  return FailWithErrno();
}

void PosixUdpSocket::Prepare() {
  // The kernel's receive time of each datagram is the exchange's arrival instant; without
  // it the engine falls back to reading the clock when the notification is handled.
  const int on = 1;
  timestamped_ = setsockopt(fd_, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on) == 0;
  // Reads are reported from the start, as a bound listening socket never connects. The
  // handler touches nothing of this object after OnReceive, which may delete it.
  SocketEvents* events = &events_;
  watcher_.Watch(fd_, [events] { events->OnReceive(); });
}

bool PosixUdpSocket::Bind(uint16_t port) {
  if (fd_ < 0) return Fail(wsa::kNotSocket);
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_addr.s_addr = htonl(INADDR_ANY);
  local.sin_port = htons(port);
  if (bind(fd_, reinterpret_cast<const sockaddr*>(&local), sizeof local) == 0) {
    boundPort_ = port;
    return true;
  }
  // Our own bind first: a process that holds the right, or a system that lets anyone have
  // port 123, needs no helper.
  const bool unprivileged = errno == EACCES || errno == EPERM;
  if (port == kNtpPort && unprivileged) return BindThroughHelper();
  return FailWithErrno();
}

bool PosixUdpSocket::BindThroughHelper() {
  int bound = -1;
  const int error = helper_ != nullptr ? helper_->BindNtpPort(bound) : EACCES;
  if (error != 0 || bound < 0) return Fail(WsaCodeFromHelperBindError(error != 0 ? error : EPROTO));
  // The helper's socket takes the place of ours, set up as ours was.
  watcher_.Unwatch(fd_);
  close(fd_);
  fd_ = bound;
  family_ = AF_INET;
  boundPort_ = kNtpPort;
  const int flags = fcntl(fd_, F_GETFL);
  if (flags < 0 || fcntl(fd_, F_SETFL, flags | O_NONBLOCK) != 0 ||
      fcntl(fd_, F_SETFD, FD_CLOEXEC) != 0) {
    const int code = WsaCodeFromErrno(errno);
    close(std::exchange(fd_, -1));
    openToken_.reset();
    return Fail(code);
  }
  Prepare();
  return true;
}

bool PosixUdpSocket::Connect(const std::string& host, uint16_t port) {
  if (fd_ < 0) return Fail(wsa::kNotSocket);
  lookup_.reset();
  connectedName_.clear();
  answered_ = false;
  if (const std::optional<SocketAddress> address = ParseAddressText(host, port)) {
    return ConnectTo(*address);
  }
  lookedUpHost_ = host;
  peerPort_ = port;
  // The object outlives the lookup's answer or drops it: lookup_ is reset by Close.
  lookup_ = std::make_unique<PendingLookup>(
      watcher_, resolver_, host,
      [this](std::vector<SocketAddress> found) { OnLookupAnswer(std::move(found)); });
  return true;
}

void PosixUdpSocket::OnLookupAnswer(std::vector<SocketAddress> found) {
  lookup_.reset();
  int code = wsa::kInvalid;
  if (!found.empty()) {
    SocketAddress peer = found[rotation_->Pick(lookedUpHost_, found.size())];
    peer.SetPort(peerPort_);
    code = ConnectTo(peer) ? 0 : lastError_;
    if (code == 0) connectedName_ = lookedUpHost_;
  }
  if (code != 0) lastError_ = code;
  events_.OnLookupDone(code);  // may destroy this socket: nothing after it
}

bool PosixUdpSocket::ConnectTo(const SocketAddress& peer) {
  if (peer.Family() != family_ && !Reopen(peer.Family())) return false;
  if (connect(fd_, peer.Raw(), peer.length) != 0) return FailWithErrno();
  // Never inside Connect itself: the caller is still in the middle of its attempt.
  std::weak_ptr<int> open = openToken_;
  SocketEvents* events = &events_;
  watcher_.Post([open, events] {
    if (open.lock()) events->OnConnect(0);
  });
  return true;
}

int PosixUdpSocket::Send(std::span<const uint8_t> data) {
  if (fd_ < 0) return FailedTransfer(wsa::kNotSocket);
  const ssize_t sent = send(fd_, data.data(), data.size(), MSG_NOSIGNAL);
  if (sent < 0) return FailedTransfer(WsaCodeFromErrno(errno));
  return static_cast<int>(sent);
}

int PosixUdpSocket::Receive(std::span<uint8_t> buffer) {
  if (fd_ < 0) return FailedTransfer(wsa::kNotSocket);
  arrivalNs_.reset();
  iovec data{buffer.data(), buffer.size()};
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(timespec))];
  msghdr message{};
  message.msg_iov = &data;
  message.msg_iovlen = 1;
  message.msg_control = timestamped_ ? control : nullptr;
  message.msg_controllen = timestamped_ ? sizeof control : 0;
  // MSG_TRUNC makes recvmsg return the datagram's real length, so a longer datagram is
  // recognised (and consumed) instead of being handed on cut short.
  const ssize_t length = recvmsg(fd_, &message, MSG_TRUNC);
  if (length < 0) return FailedTransfer(WsaCodeFromErrno(errno));
  arrivalNs_ = ReceiveStamp(message);
  answered_ = true;
  if (static_cast<size_t>(length) > buffer.size()) return FailedTransfer(wsa::kMessageSize);
  return static_cast<int>(length);
}

void PosixUdpSocket::Close() {
  lookup_.reset();
  if (fd_ < 0) return;
  // A name whose address stayed silent: the next attempt tries its next address.
  if (!connectedName_.empty() && !answered_) rotation_->Unanswered(connectedName_);
  connectedName_.clear();
  openToken_.reset();
  watcher_.Unwatch(fd_);
  close(fd_);
  fd_ = -1;
}

uint16_t PosixUdpSocket::LocalPort() const {
  if (fd_ < 0) return 0;
  sockaddr_storage local{};
  socklen_t length = sizeof local;
  if (getsockname(fd_, reinterpret_cast<sockaddr*>(&local), &length) != 0) return 0;
  // The port sits at the same place in both families' address records.
  return ntohs(reinterpret_cast<const sockaddr_in*>(&local)->sin_port);
}

std::unique_ptr<CMyAsyncSocket> PosixSocketFactory::NewSocket(SocketEvents& events) {
  return std::make_unique<PosixUdpSocket>(watcher_, events, resolver_, helper_, rotation_);
}

}  // namespace quorvane
