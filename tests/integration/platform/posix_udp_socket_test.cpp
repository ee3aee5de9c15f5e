#include "platform/linux/posix_udp_socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "fakes/fake_message_boxes.h"
#include "fakes/fake_privileged_helper.h"
#include "sntp/sntp_packet.h"
#include "sntp/socket_error_text.h"
#include "support/poll_loop.h"
#include "support/without_bind_privilege.h"

namespace quorvane {
namespace {

using std::chrono_literals::operator""ms;
using testing::PollLoop;

// Generous: only a broken loopback gets near it.
constexpr auto kLimit = 5000ms;

struct RecordingEvents : SocketEvents {
  int receives = 0;
  std::vector<int> connects;
  int closes = 0;
  std::function<void()> onReceive;
  void OnReceive() override {
    ++receives;
    if (onReceive) onReceive();
  }
  void OnConnect(int errorCode) override { connects.push_back(errorCode); }
  void OnClose() override { ++closes; }
};

// A plain UDP socket on 127.0.0.1 that plays the server.
class Peer {
 public:
  Peer() : fd_(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {
    sockaddr_in address = Loopback(0);
    EXPECT_EQ(bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    socklen_t length = sizeof address;
    getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
  }
  ~Peer() { Close(); }
  void Close() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
  }
  uint16_t port() const { return port_; }

  // Blocks for the next datagram and remembers who sent it.
  std::vector<uint8_t> Receive() {
    std::vector<uint8_t> buffer(512);
    socklen_t length = sizeof from_;
    const ssize_t n = recvfrom(fd_, buffer.data(), buffer.size(), 0,
                               reinterpret_cast<sockaddr*>(&from_), &length);
    buffer.resize(n < 0 ? 0 : static_cast<size_t>(n));
    return buffer;
  }
  void ReplyWith(const std::vector<uint8_t>& bytes) {
    EXPECT_EQ(sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&from_),
                     sizeof from_),
              static_cast<ssize_t>(bytes.size()));
  }
  void SendTo(uint16_t port, const std::vector<uint8_t>& bytes) {
    from_ = Loopback(port);
    ReplyWith(bytes);
  }
  static sockaddr_in Loopback(uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(port);
    return a;
  }

 private:
  int fd_;
  uint16_t port_ = 0;
  sockaddr_in from_{};
};

std::vector<uint8_t> Pattern(size_t length) {
  std::vector<uint8_t> bytes(length);
  for (size_t i = 0; i < length; ++i) bytes[i] = static_cast<uint8_t>(i * 7 + 1);
  return bytes;
}

// Resolvers that never ask a name server.
std::optional<uint32_t> NoLookup(const std::string&) { return std::nullopt; }

class PosixUdpSocketTest : public ::testing::Test {
 protected:
  PollLoop loop;
  RecordingEvents events;
  Peer peer;
  std::unique_ptr<PosixUdpSocket> socket = std::make_unique<PosixUdpSocket>(loop, events, NoLookup);

  void ConnectToPeer() {
    ASSERT_TRUE(socket->Create());
    ASSERT_TRUE(socket->Connect("127.0.0.1", peer.port())) << socket->LastError();
  }
  bool AwaitReceive() {
    return loop.RunUntil([&] { return events.receives > 0; }, kLimit);
  }
};

TEST_F(PosixUdpSocketTest, RequestReachesThePeerAndRepliesAreReadByLength) {
  struct Case {
    size_t replyLength;
    int result;
    int error;
  } const cases[] = {{48, 48, 0}, {47, 47, 0}, {49, -1, wsa::kMessageSize}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.replyLength);
    events = RecordingEvents{};
    socket = std::make_unique<PosixUdpSocket>(loop, events, NoLookup);
    ConnectToPeer();
    const std::vector<uint8_t> request(48, 0x0B);
    ASSERT_EQ(socket->Send(request), 48);
    ASSERT_EQ(peer.Receive(), request);
    const std::vector<uint8_t> reply = Pattern(c.replyLength);
    peer.ReplyWith(reply);
    ASSERT_TRUE(AwaitReceive());

    std::vector<uint8_t> buffer(48, 0);
    EXPECT_EQ(socket->Receive(buffer), c.result);
    if (c.result < 0) {
      EXPECT_EQ(socket->LastError(), c.error);
    } else {
      EXPECT_TRUE(std::equal(reply.begin(), reply.end(), buffer.begin()));
    }
    // The datagram is gone either way: an oversized one is not read again in pieces.
    EXPECT_EQ(socket->Receive(buffer), -1);
    EXPECT_EQ(socket->LastError(), wsa::kWouldBlock);
  }
}

TEST_F(PosixUdpSocketTest, EachDatagramReadCarriesItsKernelArrivalTime) {
  auto realNs = [] {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return int64_t{now.tv_sec} * 1'000'000'000 + now.tv_nsec;
  };
  ConnectToPeer();
  EXPECT_FALSE(socket->ArrivalSystemTimeNs());
  ASSERT_EQ(socket->Send(Pattern(48)), 48);
  peer.Receive();
  const int64_t beforeReply = realNs();
  peer.ReplyWith(Pattern(48));
  ASSERT_TRUE(AwaitReceive());
  const int64_t afterArrival = realNs();
  std::vector<uint8_t> buffer(48, 0);
  ASSERT_EQ(socket->Receive(buffer), 48);
  ASSERT_TRUE(socket->ArrivalSystemTimeNs());
  EXPECT_GE(*socket->ArrivalSystemTimeNs(), beforeReply);
  EXPECT_LE(*socket->ArrivalSystemTimeNs(), afterArrival);
  // A failed read leaves no stamp of an earlier datagram behind.
  EXPECT_EQ(socket->Receive(buffer), -1);
  EXPECT_FALSE(socket->ArrivalSystemTimeNs());
}

TEST_F(PosixUdpSocketTest, ConnectNotificationIsDeferredAndCarriesNoError) {
  ConnectToPeer();
  EXPECT_TRUE(events.connects.empty()) << "delivered inside Connect";
  loop.RunPending();
  EXPECT_EQ(events.connects, std::vector<int>{0});
}

TEST_F(PosixUdpSocketTest, QueuedConnectNotificationIsDroppedOnceTheSocketIsGone) {
  for (const bool destroy : {true, false}) {
    SCOPED_TRACE(destroy ? "destroyed" : "closed");
    events = RecordingEvents{};
    socket = std::make_unique<PosixUdpSocket>(loop, events, NoLookup);
    ConnectToPeer();
    if (destroy) {
      socket.reset();
    } else {
      socket->Close();
    }
    loop.RunPending();
    EXPECT_TRUE(events.connects.empty());
    EXPECT_EQ(loop.WatchCount(), 0u);
  }
}

TEST_F(PosixUdpSocketTest, SocketMayBeDestroyedInsideItsOwnReadNotification) {
  ConnectToPeer();
  events.onReceive = [&] { socket.reset(); };
  ASSERT_EQ(socket->Send(Pattern(48)), 48);
  peer.Receive();
  peer.ReplyWith(Pattern(48));
  ASSERT_TRUE(AwaitReceive());
  EXPECT_EQ(socket, nullptr);
  EXPECT_EQ(loop.WatchCount(), 0u);
  loop.RunPending();  // the queued connect notification must find nothing to call
  EXPECT_TRUE(events.connects.empty());
}

TEST_F(PosixUdpSocketTest, BoundSocketHearsDatagramsWithoutConnecting) {
  ASSERT_TRUE(socket->Create());
  const uint16_t port = socket->LocalPort();
  ASSERT_NE(port, 0);
  peer.SendTo(port, Pattern(48));
  ASSERT_TRUE(AwaitReceive());
  std::vector<uint8_t> buffer(48);
  EXPECT_EQ(socket->Receive(buffer), 48);
}

TEST_F(PosixUdpSocketTest, BindToAPortInUseGivesTheAddressInUseSentence) {
  ASSERT_TRUE(socket->Socket());
  EXPECT_FALSE(socket->Bind(peer.port()));
  EXPECT_EQ(socket->LastError(), wsa::kAddrInUse);
  testing::FakeMessageBoxes boxes;
  ReportSocketError(boxes, kBindErrorPrefix, socket->LastError());
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].text,
            "Bind of socket to receive broadcast.\n The specified address is already in use.");
}

TEST_F(PosixUdpSocketTest, ReplyFromAClosedPortIsAReceiveErrorNotSilence) {
  ConnectToPeer();
  peer.Close();  // nothing listens there any more; loopback answers with an ICMP error
  ASSERT_EQ(socket->Send(Pattern(48)), 48);
  ASSERT_TRUE(AwaitReceive());
  std::vector<uint8_t> buffer(48);
  EXPECT_EQ(socket->Receive(buffer), -1);
  EXPECT_EQ(socket->LastError(), wsa::kConnRefused);
}

TEST_F(PosixUdpSocketTest, OperationsWithoutADescriptorFailAsNotASocket) {
  std::vector<uint8_t> buffer(48);
  EXPECT_FALSE(socket->Bind(0));
  EXPECT_EQ(socket->LastError(), wsa::kNotSocket);
  EXPECT_FALSE(socket->Connect("127.0.0.1", 123));
  EXPECT_EQ(socket->LastError(), wsa::kNotSocket);
  EXPECT_EQ(socket->Send(buffer), -1);
  EXPECT_EQ(socket->Receive(buffer), -1);
  EXPECT_EQ(socket->LastError(), wsa::kNotSocket);
  ASSERT_TRUE(socket->Socket());
  EXPECT_FALSE(socket->Socket()) << "a second descriptor would leak the first";
  EXPECT_EQ(socket->LastError(), wsa::kInvalid);
}

// A user without the right to port 123: the helper binds it, and the socket carries on with
// the helper's descriptor as with its own.
class PosixUdpSocketHelperTest : public PosixUdpSocketTest {
 protected:
  void SetUp() override {
    if (!testing::WithoutBindPrivilege::PortNeedsTheRight()) GTEST_SKIP() << "port 123 is open";
    socket = std::make_unique<PosixUdpSocket>(loop, events, NoLookup, &helper);
    ASSERT_TRUE(socket->Socket());
  }
  bool BindWithoutTheRight(uint16_t port = kNtpPort) {
    testing::WithoutBindPrivilege unprivileged;
    return socket->Bind(port);
  }
  testing::FakePrivilegedHelper helper;
};

TEST_F(PosixUdpSocketHelperTest, ARefusedBindAdoptsTheHelpersSocket) {
  // Stands for the helper's port 123: blocking and inheritable, as a passed descriptor may be.
  const int given = ::socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in address = Peer::Loopback(0);
  ASSERT_EQ(bind(given, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  helper.descriptor = given;

  ASSERT_TRUE(BindWithoutTheRight()) << socket->LastError();
  EXPECT_EQ(helper.calls, std::vector<std::string>{"bind"});
  EXPECT_EQ(socket->Descriptor(), given);
  EXPECT_EQ(loop.WatchCount(), 1u) << "the refused descriptor is still watched";
  EXPECT_NE(fcntl(given, F_GETFL) & O_NONBLOCK, 0);
  EXPECT_NE(fcntl(given, F_GETFD) & FD_CLOEXEC, 0);
  peer.SendTo(socket->LocalPort(), Pattern(48));
  ASSERT_TRUE(AwaitReceive());
  std::vector<uint8_t> buffer(48);
  EXPECT_EQ(socket->Receive(buffer), 48);
  EXPECT_TRUE(socket->ArrivalSystemTimeNs()) << "no kernel receive stamp";
  EXPECT_EQ(socket->Receive(buffer), -1);
  EXPECT_EQ(socket->LastError(), wsa::kWouldBlock);
}

TEST_F(PosixUdpSocketHelperTest, AHelperThatFailsLeavesTheRightsCodeUnlessThePortIsTaken) {
  const struct {
    const char* name;
    bool withHelper;
    int error;
    int code;
    uint16_t port = kNtpPort;
  } cases[] = {
      {"no helper", false, 0, wsa::kAccess},
      {"helper missing", true, ENOENT, wsa::kAccess},
      {"user not in its group", true, EACCES, wsa::kAccess},
      {"helper without the right", true, EPERM, wsa::kAccess},
      {"helper died", true, ECONNRESET, wsa::kAccess},
      {"port taken", true, EADDRINUSE, wsa::kAddrInUse},
      // The helper binds port 123 only; it is not asked for any other.
      {"another privileged port", true, 0, wsa::kAccess, 124},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    helper.calls.clear();
    helper.error = c.error;
    socket =
        std::make_unique<PosixUdpSocket>(loop, events, NoLookup, c.withHelper ? &helper : nullptr);
    ASSERT_TRUE(socket->Socket());
    EXPECT_FALSE(BindWithoutTheRight(c.port));
    EXPECT_EQ(socket->LastError(), c.code);
    EXPECT_EQ(helper.calls.size(), c.withHelper && c.port == kNtpPort ? 1u : 0u);
  }
}

TEST(PosixUdpSocketLookup, HostTextGoesToTheResolverUnlessItIsADottedAddress) {
  PollLoop loop;
  RecordingEvents events;
  Peer peer;
  std::vector<std::string> asked;
  auto resolver = [&](const std::string& host) -> std::optional<uint32_t> {
    asked.push_back(host);
    if (host == "ntp.example.test") return htonl(INADDR_LOOPBACK);
    return std::nullopt;
  };
  struct Case {
    const char* host;
    bool connects;
    int error;
  } const cases[] = {{"127.0.0.1", true, 0},
                     {"ntp.example.test", true, 0},
                     {"no-such-host.test", false, wsa::kInvalid}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.host);
    asked.clear();
    events = RecordingEvents{};
    PosixUdpSocket socket(loop, events, resolver);
    ASSERT_TRUE(socket.Create());
    EXPECT_EQ(socket.Connect(c.host, peer.port()), c.connects);
    if (c.connects) {
      ASSERT_EQ(socket.Send(Pattern(48)), 48);
      EXPECT_EQ(peer.Receive(), Pattern(48));
    } else {
      EXPECT_EQ(socket.LastError(), c.error);
    }
    loop.RunPending();
    EXPECT_EQ(events.connects.size(), c.connects ? 1u : 0u);
    const bool dotted = std::string(c.host) == "127.0.0.1";
    EXPECT_EQ(asked, dotted ? std::vector<std::string>{} : std::vector<std::string>{c.host});
  }
}

TEST(PosixUdpSocketLookup, SystemResolverFindsLocalhost) {
  EXPECT_EQ(ResolveWithGetaddrinfo("localhost"), std::optional<uint32_t>(htonl(INADDR_LOOPBACK)));
}

}  // namespace
}  // namespace quorvane
