#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "support/loopback_rig.h"

// The engine on its real socket against a scripted server on loopback that answers each
// request twice: at once with a reply half an hour ahead whose originate timestamp is not the
// request's transmit timestamp, then 50 ms later with the true reply.
namespace quorvane {
namespace {

using namespace std::chrono_literals;
using testing::LoopbackRig;
using testing::ScriptedServer;
using testing::TimedAnswer;

constexpr int64_t kBehindMs = -5250;
constexpr uint32_t kHalfAnHour = 1800;
constexpr size_t kOriginate = 24;
constexpr size_t kTransmit = 40;

void AddSeconds(std::vector<uint8_t>& reply, size_t at, uint32_t seconds) {
  uint32_t value = 0;
  for (int i = 0; i < 4; ++i) value = value << 8 | reply[at + i];
  value += seconds;
  for (int i = 0; i < 4; ++i) reply[at + i] = static_cast<uint8_t>(value >> (24 - 8 * i));
}

// What a forger who does not see the request puts where the request's transmit stamp belongs.
struct Forgery {
  const char* name;
  std::function<void(std::vector<uint8_t>& originate)> make;
};

const Forgery kForgeries[] = {
    {"no originate stamp", [](std::vector<uint8_t>& o) { o.assign(8, 0); }},
    {"the last bit wrong", [](std::vector<uint8_t>& o) { o[7] ^= 1; }},
    {"the first half right, the rest zero",
     [](std::vector<uint8_t>& o) { std::fill(o.begin() + 4, o.end(), 0); }},
};

// The server's answers to one request: the forged reply, then the true one.
std::vector<TimedAnswer> ForgedThenTrue(const std::vector<uint8_t>& request,
                                        const Forgery& forgery) {
  std::vector<uint8_t> transmit(8, 0);
  if (request.size() >= kTransmit + 8) {
    std::copy_n(request.begin() + kTransmit, 8, transmit.begin());
  }
  // As a server does, the receive stamp is the request's arrival and the transmit stamp the
  // moment of sending.
  const std::vector<uint8_t> arrival = testing::RealTimeReply(0x24, 2);
  auto reply = [transmit, arrival](bool forged, const Forgery* how) {
    std::vector<uint8_t> r = testing::RealTimeReply(0x24, 2);
    std::copy_n(arrival.begin() + 32, 8, r.begin() + 32);
    std::vector<uint8_t> originate = transmit;
    if (forged) {
      how->make(originate);
      AddSeconds(r, 32, kHalfAnHour);
      AddSeconds(r, kTransmit, kHalfAnHour);
    }
    std::copy(originate.begin(), originate.end(), r.begin() + kOriginate);
    return r;
  };
  return {{0ms, [reply, &forgery] { return reply(true, &forgery); }},
          {50ms, [reply] { return reply(false, nullptr); }}};
}

bool UsualStatus(const std::string& status) {
  return status == "Socket Created." || status == "Connecting to SNTP Server..." ||
         status == "Connected; Awaiting Server Response..." || status.starts_with("Sync @ ");
}

TEST(ReplyBinding, ForgedReplyAheadOfTheTrueOneIsDroppedSilently) {
  for (const Forgery& forgery : kForgeries) {
    SCOPED_TRACE(forgery.name);
    ScriptedServer server("127.0.0.4", 123, [&](int, const std::vector<uint8_t>& request) {
      return ForgedThenTrue(request, forgery);
    });
    LoopbackRig rig(kBehindMs);
    rig.settings.Primary_Server = rig.settings.ServerInUse = "127.0.0.4";
    rig.engine.StartSync();
    ASSERT_TRUE(
        rig.RunUntil([&] { return rig.clock.setCount > 0 || !rig.boxes.shown.empty(); }, 5s))
        << rig.ui.pane0;
    rig.RunUntil([] { return false; }, 300ms);  // anything the late datagram might still do

    EXPECT_EQ(rig.clock.setCount, 1);
    EXPECT_LE(std::llabs(rig.ClockErrorMs()), 2) << rig.ClockErrorMs() << " ms off";
    EXPECT_EQ(server.received(), 1);  // the attempt went on waiting: no retry
    EXPECT_TRUE(rig.boxes.shown.empty()) << rig.boxes.shown[0].text;
    for (const std::string& status : rig.ui.statuses) EXPECT_TRUE(UsualStatus(status)) << status;
    EXPECT_TRUE(rig.ui.pane0.find("Corrected by: 5.2") != std::string::npos) << rig.ui.pane0;
    const std::string log = rig.ReadLog();
    EXPECT_EQ(log.find(",+5.2"), 19u) << log;
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << log;
  }
}

}  // namespace
}  // namespace quorvane
