#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>

#include "fakes/fake_clock.h"
#include "nts/key_establishment.h"
#include "nts/nts_session.h"
#include "platform/linux/gnutls_ke_connector.h"
#include "platform/linux/nettle_siv_aead.h"
#include "platform/linux/posix_udp_socket.h"
#include "sntp/sntp_packet.h"
#include "support/poll_loop.h"

// Authenticated time against a real NTS server (chrony or ntpsec's ntpd) that
// tests/support/nts_netns.sh runs in a network namespace of its own, with certificates of a
// test authority. The PC's clock is never touched: replies move a virtual clock.

namespace quorvane::nts {
namespace {

using quorvane::testing::OffsetClock;
using quorvane::testing::PollLoop;

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

struct Reply {
  std::vector<uint8_t> bytes;
  NtpSeconds t1 = 0;
  NtpSeconds t4 = 0;
};

class Receiver : public SocketEvents {
 public:
  void OnReceive() override { ++received; }
  void OnConnect(int) override {}
  void OnClose() override {}
  int received = 0;
};

class NtsAgainstServer : public ::testing::Test {
 protected:
  void SetUp() override {
    if (Env("QUORVANE_NTS_TRUST").empty()) GTEST_SKIP() << "no NTS server namespace";
    const KeResult established = Establish(kNtsKePort);
    ASSERT_FALSE(established.failure) << NtsStatusText(*established.failure);
    session.Start(kHost, established);
    socket.Create();
    ASSERT_TRUE(socket.Connect(session.NtpHost() == kHost ? "127.0.0.1" : session.NtpHost(),
                               session.NtpPort()));
  }

  KeResult Establish(uint16_t port) {
    GnutlsKeConnector connector;
    return EstablishKeys(connector, kHost, port, Env("QUORVANE_NTS_TRUST"));
  }

  // Sends the session's next request; the datagram that answers it, unchecked.
  Reply Exchange() {
    std::vector<uint8_t> header(kSntpPacketSize, 0);
    header[0] = 0x23;  // NTPv4, client
    aead.FillRandom(std::span(header).subspan(40, 8));
    Reply reply;
    reply.t1 = clock.ReadLocalClock();
    const int before = events.received;
    EXPECT_GT(socket.Send(session.NextRequest(header, aead)), 0);
    EXPECT_TRUE(loop.RunUntil([&] { return events.received > before; }, std::chrono::seconds(3)));
    std::vector<uint8_t> buffer(2048);
    const int length = socket.Receive(buffer);
    reply.t4 = socket.ArrivalSystemTimeNs() ? clock.FromSystemTime(*socket.ArrivalSystemTimeNs())
                                            : clock.ReadLocalClock();
    buffer.resize(std::max(length, 0));
    reply.bytes = std::move(buffer);
    return reply;
  }

  // What the engine does with an accepted reply: the offset, applied to the virtual clock.
  void Apply(const Reply& reply) {
    const auto bytes = std::span(reply.bytes);
    const NtpSeconds t2 = DecodeTimestamp(bytes.subspan<32, 8>());
    const NtpSeconds t3 = DecodeTimestamp(bytes.subspan<40, 8>());
    const ClockOffset offset = ComputeOffset(1, reply.t1, t2, t3, reply.t4);
    ASSERT_TRUE(clock.ApplyCorrection(MakeClockRecord(reply.t4, offset).record, offset).accepted);
  }

  static constexpr const char* kHost = "localhost";
  OffsetClock clock{3'500};
  NettleSivAead aead;
  NtsSession session;
  PollLoop loop;
  Receiver events;
  PosixUdpSocket socket{loop, events};
};

TEST_F(NtsAgainstServer, AuthenticatedExchangeSyncsTheVirtualClockWithinAMillisecond) {
  const size_t cookiesAfterKe = session.CookieCount();
  EXPECT_GE(cookiesAfterKe, 1u);
  const Reply reply = Exchange();
  ASSERT_TRUE(session.AcceptReply(reply.bytes, aead));
  EXPECT_EQ(session.CookieCount(), cookiesAfterKe);  // the used cookie came back renewed
  Apply(reply);
  EXPECT_EQ(clock.setCount, 1);
  EXPECT_LT(std::abs(clock.offsetNs), 1'000'000) << clock.offsetNs << " ns left";
}

TEST_F(NtsAgainstServer, DamagedOrReplayedRepliesLeaveTheClockUntouched) {
  const Reply first = Exchange();
  ASSERT_TRUE(session.AcceptReply(first.bytes, aead));
  const struct {
    const char* name;
    void (*damage)(std::vector<uint8_t>& reply, const std::vector<uint8_t>& earlier);
  } attacks[] = {
      {"authenticator bit flipped", [](auto& r, auto&) { r[r.size() - 1] ^= 0x01; }},
      {"replayed earlier reply", [](auto& r, auto& earlier) { r = earlier; }},
      {"unique identifier differs", [](auto& r, auto&) { r[kSntpPacketSize + 4] ^= 0x01; }},
      {"extension fields stripped", [](auto& r, auto&) { r.resize(kSntpPacketSize); }},
      {"authenticator stripped", [](auto& r, auto&) { r.resize(kSntpPacketSize + 36); }},
      {"header bit flipped", [](auto& r, auto&) { r[40] ^= 0x80; }},
      {"field length broken", [](auto& r, auto&) { r[kSntpPacketSize + 3] = 0x22; }},
  };
  for (const auto& attack : attacks) {
    Reply reply = Exchange();
    ASSERT_GT(reply.bytes.size(), kSntpPacketSize) << attack.name;
    attack.damage(reply.bytes, first.bytes);
    EXPECT_FALSE(session.AcceptReply(reply.bytes, aead)) << attack.name;
  }
  EXPECT_EQ(clock.setCount, 0);
  EXPECT_EQ(clock.OffsetMs(), 3'500);
  EXPECT_EQ(NtsStatusText(NtsFailure::NotAuthenticated), "NTS: reply not authenticated");
}

// Key-establishment servers with bad certificates, beside the real server (chrony run only).
TEST_F(NtsAgainstServer, CertificatesThatMustNotBeTrustedStopKeyEstablishment) {
  if (Env("QUORVANE_NTS_BAD_CERTS").empty()) GTEST_SKIP() << "no bad-certificate servers";
  const struct {
    uint16_t port;
    NtsFailure failure;
    const char* text;
  } cases[] = {
      {4461, NtsFailure::CertificateWrongHost, "NTS: certificate names another host"},
      {4462, NtsFailure::CertificateExpired, "NTS: certificate expired"},
      {4463, NtsFailure::CertificateNotTrusted, "NTS: certificate not trusted"},
  };
  for (const auto& c : cases) {
    const KeResult result = Establish(c.port);
    ASSERT_TRUE(result.failure) << c.port;
    EXPECT_EQ(*result.failure, c.failure) << c.port;
    EXPECT_EQ(NtsStatusText(*result.failure), c.text);
  }
  EXPECT_EQ(clock.setCount, 0);
}

}  // namespace
}  // namespace quorvane::nts
