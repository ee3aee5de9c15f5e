#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <regex>
#include <string>
#include <vector>

#include "support/loopback_rig.h"

namespace quorvane {
namespace {

using namespace std::chrono_literals;
using testing::LoopbackRig;
using testing::ScriptedServer;
using testing::SilentServer;

// The virtual clock starts this far behind the real one (and the loopback server).
constexpr int64_t kBehindMs = -5250;

TEST(EngineAgainstChrony, OneSyncSetsTheClockAndLogsOneLine) {
  LoopbackRig rig(kBehindMs);
  rig.engine.StartSync();
  ASSERT_TRUE(rig.RunUntil([&] { return rig.clock.setCount > 0; }, 5s)) << rig.ui.pane0;
  EXPECT_LE(std::llabs(rig.ClockErrorMs()), 2) << rig.ClockErrorMs();
  const std::regex status(
      R"(^Sync @ \d\d:\d\d:\d\d\.\.\. System Clock Corrected by: 5\.2[45]\d seconds$)");
  EXPECT_TRUE(std::regex_match(rig.ui.pane0, status)) << rig.ui.pane0;
  const std::string log = rig.ReadLog();
  const std::regex line(R"(^\d{4}/\d\d/\d\d,\d\d:\d\d:\d\d,\+5\.2\d{5},127\.0\.0\.1,1,H,S\r\n$)");
  EXPECT_TRUE(std::regex_match(log, line)) << log;
  EXPECT_TRUE(rig.boxes.shown.empty());
  EXPECT_FALSE(rig.engine.State().EngineSocket);
}

TEST(EngineAgainstChrony, QueryShowsServerTimeAndLeavesTheClock) {
  LoopbackRig rig(kBehindMs);
  rig.engine.StartQuery();
  ASSERT_TRUE(rig.RunUntil([&] { return rig.ui.pane0.starts_with("Server Timestamp: "); }, 5s))
      << rig.ui.pane0;
  EXPECT_EQ(rig.clock.setCount, 0);
  EXPECT_EQ(rig.clock.OffsetMs(), kBehindMs);
  const std::regex status(
      R"(^Server Timestamp: \d\d:\d\d:\d\d [A-Z][a-z]+ \d\d, \d{4}\.\.\. Delta: 5\.2\d\d seconds$)");
  EXPECT_TRUE(std::regex_match(rig.ui.pane0, status)) << rig.ui.pane0;
  EXPECT_FALSE(std::filesystem::exists(rig.settings.LogFilePath));
}

// The servers given as IPv6: both forms of the address and, where the test's namespace has
// one (QUORVANE_AAAA_ONLY_NAME), a name with only an IPv6 address.
std::vector<std::string> Ipv6Servers() {
  std::vector<std::string> servers{"::1", "[::1]"};
  if (const char* name = std::getenv("QUORVANE_AAAA_ONLY_NAME")) servers.emplace_back(name);
  return servers;
}

// Chrony on [::1]:123: the sync steps the virtual clock and the log names the server exactly
// as it was typed.
TEST(EngineAgainstChrony, Ipv6ServerSetsTheClockAndIsLoggedAsTyped) {
  for (const std::string& server : Ipv6Servers()) {
    SCOPED_TRACE(server);
    LoopbackRig rig(kBehindMs);
    rig.settings.Primary_Server = rig.settings.ServerInUse = server;
    rig.engine.StartSync();
    ASSERT_TRUE(
        rig.RunUntil([&] { return rig.clock.setCount > 0 || !rig.boxes.shown.empty(); }, 5s))
        << rig.ui.pane0;
    ASSERT_TRUE(rig.boxes.shown.empty()) << rig.boxes.shown[0].text;
    EXPECT_LE(std::llabs(rig.ClockErrorMs()), 2) << rig.ClockErrorMs();
    const std::string log = rig.ReadLog();
    EXPECT_NE(log.find("," + server + ",1,H,S\r\n"), std::string::npos) << log;
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << log;
  }
}

// A server whose first answer says its clock is not synchronised and whose second is a
// Kiss-o'-Death: neither may move the clock, and the next sync from chrony works as usual.
TEST(EngineAgainstChrony, UntrustedRepliesLeaveTheClockThenChronySetsIt) {
  ScriptedServer scripted("127.0.0.3", 123, [](int n) {
    std::vector<uint8_t> reply = testing::RealTimeReply(n == 0 ? 0xE4 : 0x24, n == 0 ? 2 : 0);
    if (n != 0) std::copy_n("RATE", 4, reply.begin() + 12);  // the kiss code
    return reply;
  });
  LoopbackRig rig(kBehindMs);
  rig.settings.Primary_Server = rig.settings.ServerInUse = "127.0.0.3";
  for (int reply = 0; reply < 2; ++reply) {
    rig.engine.StartSync();
    ASSERT_TRUE(rig.RunUntil(
        [&] { return scripted.received() > reply && !rig.engine.State().EngineSocket; }, 5s));
    EXPECT_EQ(rig.ui.pane0, "Reset: Invalid Data returned by SNTP Server") << reply;
  }
  EXPECT_EQ(rig.clock.setCount, 0);
  EXPECT_EQ(rig.clock.OffsetMs(), kBehindMs);
  EXPECT_FALSE(std::filesystem::exists(rig.settings.LogFilePath));

  rig.settings.ServerInUse = "127.0.0.1";
  rig.engine.StartSync();
  ASSERT_TRUE(rig.RunUntil([&] { return rig.clock.setCount > 0; }, 5s)) << rig.ui.pane0;
  EXPECT_LE(std::llabs(rig.ClockErrorMs()), 2) << rig.ClockErrorMs();
  const std::string log = rig.ReadLog();
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << log;  // the one real sync
}

// Runs in real time: four requests about three seconds apart, then the switch-over.
TEST(EngineAgainstChrony, SilentServerIsRetriedThenTheOtherServerAnswers) {
  SilentServer silent("127.0.0.2", 123);
  LoopbackRig rig(kBehindMs);
  rig.settings.Primary_Server = rig.settings.ServerInUse = "127.0.0.2";
  rig.settings.Notify_User = 1;
  rig.engine.StartSync();
  ASSERT_TRUE(rig.RunUntil([&] { return !rig.boxes.shown.empty(); }, 20s));
  EXPECT_EQ(silent.received(), 4);
  EXPECT_EQ(rig.ui.pane0, "SNTP Server: Response Timeout");
  EXPECT_EQ(rig.boxes.shown[0].text,
            "The primary server did not respond.\n3 attempts were made.\nQuorvane switched to "
            "the secondary.");
  EXPECT_EQ(rig.settings.ServerInUse, "127.0.0.1");
  EXPECT_EQ(rig.clock.setCount, 0);
  // The sync is still owed: the next query to the secondary sets the clock.
  rig.engine.StartQuery();
  ASSERT_TRUE(rig.RunUntil([&] { return rig.clock.setCount > 0; }, 5s)) << rig.ui.pane0;
  EXPECT_LE(std::llabs(rig.ClockErrorMs()), 2);
  EXPECT_FALSE(rig.engine.State().FailoverSinceReply);
}

}  // namespace
}  // namespace quorvane
