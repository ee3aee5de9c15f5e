#include "platform/linux/posix_udp_socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <poll.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
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

// A plain UDP socket on a loopback address (127.0.0.1 by default, or ::1) that plays the
// server.
class Peer {
 public:
  explicit Peer(const char* address = "127.0.0.1", uint16_t port = 0) {
    std::optional<SocketAddress> local = ParseAddressText(address, port);
    EXPECT_TRUE(local.has_value());
    fd_ = socket(local->Family(), SOCK_DGRAM | SOCK_CLOEXEC, 0);
    EXPECT_EQ(bind(fd_, local->Raw(), local->length), 0) << address;
    socklen_t length = sizeof local->storage;
    getsockname(fd_, reinterpret_cast<sockaddr*>(&local->storage), &length);
    port_ = ntohs(reinterpret_cast<const sockaddr_in*>(&local->storage)->sin_port);
    self_ = *local;
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
  // The next datagram, if one comes within the limit.
  std::optional<std::vector<uint8_t>> ReceiveWithin(int milliseconds) {
    pollfd ready{fd_, POLLIN, 0};
    if (poll(&ready, 1, milliseconds) != 1) return std::nullopt;
    return Receive();
  }
  void ReplyWith(const std::vector<uint8_t>& bytes) {
    EXPECT_EQ(sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&from_),
                     self_.length),
              static_cast<ssize_t>(bytes.size()));
  }
  void SendTo(uint16_t port, const std::vector<uint8_t>& bytes) {
    SocketAddress to = self_;
    to.SetPort(port);
    std::memcpy(&from_, &to.storage, sizeof from_);
    ReplyWith(bytes);
  }

 private:
  int fd_ = -1;
  uint16_t port_ = 0;
  SocketAddress self_;
  sockaddr_storage from_{};
};

std::vector<uint8_t> Pattern(size_t length) {
  std::vector<uint8_t> bytes(length);
  for (size_t i = 0; i < length; ++i) bytes[i] = static_cast<uint8_t>(i * 7 + 1);
  return bytes;
}

// Resolvers that never ask a name server.
std::vector<SocketAddress> NoLookup(const std::string&) { return {}; }

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
  const SocketAddress address = *ParseAddressText("127.0.0.1", 0);
  ASSERT_EQ(bind(given, address.Raw(), address.length), 0);
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

struct LookupEvents : RecordingEvents {
  std::vector<int> lookups;
  void OnLookupDone(int errorCode) override { lookups.push_back(errorCode); }
};

// Every server text: an address is used at once in its own family, anything else is a name
// for the resolver, answered later on the loop's thread.
TEST(PosixUdpSocketLookup, ServerTextsReachTheirPeerOrEndWithTheLookupCode) {
  PollLoop loop;
  Peer v4;
  Peer v6("::1");
  std::vector<std::string> asked;
  std::mutex askedMutex;
  auto resolver = [&](const std::string& host) {
    std::lock_guard lock(askedMutex);
    asked.push_back(host);
    std::vector<SocketAddress> found;
    if (host == "v4.example.test") found.push_back(*ParseAddressText("127.0.0.1", 0));
    if (host == "v6.example.test") found.push_back(*ParseAddressText("::1", 0));
    return found;
  };
  const std::string longName(49, 'n');
  struct Case {
    const char* host;
    int family;  // the peer reached, 0 for none
    bool lookedUp;
  } const cases[] = {
      {"127.0.0.1", AF_INET, false},
      {"::1", AF_INET6, false},
      {"[::1]", AF_INET6, false},
      {"v4.example.test", AF_INET, true},
      {"v6.example.test", AF_INET6, true},
      {"no-such-host.test", 0, true},
      {"[::1", 0, true},
      {"::1]:123", 0, true},
      {"fe80::1%eth9", 0, true},
      {"", 0, true},
      {longName.c_str(), 0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.host);
    asked.clear();
    LookupEvents events;
    PosixUdpSocket socket(loop, events, resolver);
    ASSERT_TRUE(socket.Create());
    Peer& peer = c.family == AF_INET6 ? v6 : v4;
    ASSERT_TRUE(socket.Connect(c.host, peer.port()));
    EXPECT_EQ(socket.LookupPending(), c.lookedUp);
    if (c.lookedUp) {
      ASSERT_TRUE(loop.RunUntil([&] { return !events.lookups.empty(); }, kLimit));
      EXPECT_EQ(events.lookups, std::vector<int>{c.family != 0 ? 0 : wsa::kInvalid});
      EXPECT_FALSE(socket.LookupPending());
    }
    if (c.family != 0) {
      ASSERT_EQ(socket.Send(Pattern(48)), 48);
      EXPECT_EQ(peer.Receive(), Pattern(48));
      peer.ReplyWith(Pattern(48));
      ASSERT_TRUE(loop.RunUntil([&] { return events.receives > 0; }, kLimit));
      std::array<uint8_t, 64> buffer{};
      EXPECT_EQ(socket.Receive(buffer), 48);
    } else {
      EXPECT_EQ(socket.LastError(), wsa::kInvalid);
    }
    loop.RunPending();
    EXPECT_EQ(events.connects.size(), c.family != 0 ? 1u : 0u);
    std::lock_guard lock(askedMutex);
    EXPECT_EQ(asked, c.lookedUp ? std::vector<std::string>{c.host} : std::vector<std::string>{});
  }
}

// The window never waits for a name server, and an answer for a socket that is gone is
// dropped without touching it.
TEST(PosixUdpSocketLookup, AnswerForAClosedOrDestroyedSocketIsDropped) {
  PollLoop loop;
  Peer peer;
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  std::atomic<int> answered{0};
  auto slowResolver = [released, &answered](const std::string&) {
    released.wait();
    ++answered;
    return std::vector<SocketAddress>{*ParseAddressText("127.0.0.1", 0)};
  };
  LookupEvents events;
  auto destroyed = std::make_unique<PosixUdpSocket>(loop, events, slowResolver);
  PosixUdpSocket closed(loop, events, slowResolver);
  for (PosixUdpSocket* socket : {destroyed.get(), &closed}) {
    ASSERT_TRUE(socket->Create());
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(socket->Connect("slow.example.test", peer.port()));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 100ms);
  }
  destroyed.reset();
  closed.Close();
  release.set_value();
  for (int i = 0; i < 500 && answered < 2; ++i) std::this_thread::sleep_for(10ms);
  EXPECT_EQ(answered, 2);
  loop.RunFor(50ms);
  EXPECT_TRUE(events.lookups.empty());
  EXPECT_TRUE(events.connects.empty());
}

// A name with several addresses: an attempt that goes unanswered moves the next one on to
// the name's next address; one that is answered keeps it.
TEST(PosixUdpSocketLookup, UnansweredAddressGivesWayToTheNextOne) {
  PollLoop loop;
  Peer first("127.0.0.2");
  Peer second("127.0.0.1", first.port());
  auto resolver = [](const std::string&) {
    return std::vector<SocketAddress>{*ParseAddressText("127.0.0.2", 0),
                                      *ParseAddressText("127.0.0.1", 0)};
  };
  PosixSocketFactory factory(loop, resolver);
  struct Step {
    Peer* reached;
    bool answer;
  } const steps[] = {{&first, false}, {&second, true}, {&second, false}, {&first, false}};
  for (const Step& step : steps) {
    LookupEvents events;
    std::unique_ptr<CMyAsyncSocket> socket = factory.NewSocket(events);
    ASSERT_TRUE(socket->Create());
    ASSERT_TRUE(socket->Connect("two.example.test", first.port()));
    ASSERT_TRUE(loop.RunUntil([&] { return !events.lookups.empty(); }, kLimit));
    ASSERT_EQ(socket->Send(Pattern(48)), 48);
    Peer& other = step.reached == &first ? second : first;
    EXPECT_TRUE(step.reached->ReceiveWithin(1000).has_value());
    EXPECT_FALSE(other.ReceiveWithin(0).has_value());
    if (step.answer) {
      step.reached->ReplyWith(Pattern(48));
      ASSERT_TRUE(loop.RunUntil([&] { return events.receives > 0; }, kLimit));
      std::array<uint8_t, 64> buffer{};
      socket->Receive(buffer);
    }
    socket->Close();
  }
}

TEST(PosixUdpSocketLookup, SystemResolverFindsLocalhost) {
  const std::vector<SocketAddress> found = ResolveWithGetaddrinfo("localhost");
  ASSERT_FALSE(found.empty());
  const bool loopback = std::any_of(found.begin(), found.end(), [](const SocketAddress& a) {
    const auto* v4 = reinterpret_cast<const sockaddr_in*>(&a.storage);
    return a.Family() == AF_INET6 || v4->sin_addr.s_addr == htonl(INADDR_LOOPBACK);
  });
  EXPECT_TRUE(loopback);
}

}  // namespace
}  // namespace quorvane
