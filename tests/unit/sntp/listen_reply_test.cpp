#include <gtest/gtest.h>

#include <random>

#include "sntp/listen_mode.h"
#include "support/engine_test_support.h"

namespace quorvane {
namespace {

using testing::EngineRig;
using testing::Reply;

// Listening on a fake socket, the clock at a fixed instant, limit one hour.
struct BroadcastRig : EngineRig {
  BroadcastRig() {
    settings.Socket_Mode = kListenMode;
    settings.BroadcastTimeoutMs = 3600000;
    engine.OnTimerTick();  // opens the listening socket
    engine.MutableState().BroadcastTickCount = 7;
  }
  // A 48-byte datagram whose transmit time is `ahead` seconds after now.
  std::vector<uint8_t> Datagram(uint8_t first, uint8_t stratum, double ahead) {
    std::vector<uint8_t> d = Reply(0, clock.ReadLocalClock() + ahead);
    d[0] = first;
    d[1] = stratum;
    return d;
  }
};

uint8_t Header(int leap, int version, int mode) {
  return static_cast<uint8_t>(leap << 6 | version << 3 | mode);
}

TEST(ListenReply, DatagramsThatCannotBeABroadcastAreIgnored) {
  struct Case {
    const char* name;
    uint8_t first;
    uint8_t stratum;
    size_t length;
  };
  const Case cases[] = {
      {"client request", Header(0, 4, 3), 2, 48},
      {"control message", Header(0, 2, 6), 2, 48},
      {"private message", Header(0, 2, 7), 2, 48},
      {"unsynchronised", Header(3, 4, 5), 2, 48},
      {"stratum 0", Header(0, 4, 5), 0, 48},
      {"short", Header(0, 4, 5), 2, 47},
      {"empty", Header(0, 4, 5), 2, 0},
  };
  for (const Case& c : cases) {
    BroadcastRig r;
    r.ui.pane0 = "before";
    std::vector<uint8_t> d = r.Datagram(c.first, c.stratum, 3600);
    d.resize(c.length);
    r.sockets.Deliver(d);
    EXPECT_TRUE(r.clock.steps.empty()) << c.name;
    EXPECT_TRUE(r.log.entries.empty()) << c.name;
    EXPECT_EQ(r.engine.State().BroadcastTickCount, 7u) << c.name;
    EXPECT_EQ(r.sockets.live, r.engine.State().EngineSocket.get()) << c.name;
    EXPECT_FALSE(r.sockets.Last().closed) << c.name;
    EXPECT_EQ(r.ui.pane0, "before") << c.name;
  }
}

TEST(ListenReply, BroadcastsAndServerRepliesFromAnySenderCorrect) {
  for (const uint8_t first : {Header(0, 4, 5), Header(0, 3, 5), Header(1, 4, 5), Header(0, 4, 4),
                              Header(0, 1, 1), Header(0, 4, 2), Header(0, 4, 0)}) {
    BroadcastRig r;
    r.sockets.Deliver(r.Datagram(first, 3, 0.5));
    ASSERT_EQ(r.clock.steps.size(), 1u) << int{first};
    EXPECT_EQ(r.clock.steps[0], 0.5);
    EXPECT_EQ(r.engine.State().BroadcastTickCount, 0u);
    EXPECT_FALSE(r.sockets.Last().closed);
    EXPECT_EQ(r.ui.pane0, "Sync @ 13:36:40... System Clock Corrected by: 0.500 seconds");
  }
}

TEST(ListenReply, TwoBroadcastsInARowEachCorrect) {
  BroadcastRig r;
  r.sockets.Deliver(r.Datagram(Header(0, 4, 5), 3, 3.0));
  r.clock.AdvanceMs(2000);
  r.sockets.Deliver(r.Datagram(Header(0, 4, 5), 3, 0.001));
  ASSERT_EQ(r.log.entries.size(), 2u);
  EXPECT_NEAR(r.log.entries[1].correction, 0.001, 1e-6);
}

// Whatever arrives on the listening socket is handled in a defined way; the sanitizer
// builds catch undefined reads or arithmetic on the way.
TEST(ListenReply, ArbitraryDatagramsAndAbsurdStampsNeverBreakListening) {
  const auto seed = static_cast<uint32_t>(std::random_device{}());
  std::mt19937 random(seed);
  SCOPED_TRACE("seed " + std::to_string(seed));
  BroadcastRig r;
  r.settings.MaxCorrectionSeconds = 4294967295.0;  // a maximum correction of -1
  for (int i = 0; i < 4000; ++i) {
    std::vector<uint8_t> d(random() % 2001);
    for (auto& b : d) b = static_cast<uint8_t>(random());
    if (i % 2 == 0) {  // a valid broadcast header with absurd stamps
      d.resize(48);
      d[0] = Header(0, 4, 5);
      d[1] = 1 + random() % 15;
    }
    r.clock.nowUnixMs = static_cast<int64_t>(random() % 4000000000u) * 1000;
    r.sockets.Deliver(d);
    if (!r.engine.State().EngineSocket) r.engine.OnTimerTick();
    ASSERT_TRUE(r.engine.State().EngineSocket) << i;
    ASSERT_EQ(r.settings.Socket_Mode, kListenMode) << i;
  }
}

}  // namespace
}  // namespace quorvane
