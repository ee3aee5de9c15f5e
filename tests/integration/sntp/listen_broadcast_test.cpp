#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <regex>

#include "support/loopback_rig.h"

// Run by tests/support/listen_netns.sh inside a network namespace where chronyd broadcasts
// every 2 s; skipped anywhere else.
namespace quorvane {
namespace {

using namespace std::chrono_literals;
using testing::LoopbackRig;

constexpr int64_t kBehindMs = -3000;

const char* Listener() { return std::getenv("QUORVANE_LISTENER"); }

// The engine in listen mode on the real socket: time-out and limit one hour.
struct ListenRig : LoopbackRig {
  ListenRig() : LoopbackRig(kBehindMs) {
    settings.Socket_Mode = kListenMode;
    settings.Broadcast_Timeout = 1;
    settings.Broadcast_Timeout_Unit = "Hour(s)";
    settings.Broadcast_Max_Correction = 1;
    settings.Broadcast_Max_Correction_Unit = "Hour(s)";
    settings.RecomputeBroadcastTimeout();
    settings.RecomputeCorrectionLimit(gate);
  }
  // Runs the loop with a tick every 200 ms, as the window's timer does.
  bool Listen(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
      if (std::chrono::steady_clock::now() > end) return false;
      engine.OnTimerTick();
      if (RunUntil(done, 200ms)) return true;
    }
    return true;
  }
  std::vector<std::string> LogLines() const {
    std::vector<std::string> lines;
    std::string log = ReadLog();
    for (size_t at = 0; (at = log.find("\r\n")) != std::string::npos; log.erase(0, at + 2)) {
      lines.push_back(log.substr(0, at));
    }
    return lines;
  }
};

// Sends each datagram to the listener's port 123 and to the pair's broadcast address.
void SendToListener(const std::vector<std::vector<uint8_t>>& datagrams) {
  const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  ASSERT_GE(fd, 0);
  const int on = 1;
  setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
  for (const char* address : {Listener(), "10.123.0.255"}) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(123);
    inet_pton(AF_INET, address, &to.sin_addr);
    for (const auto& d : datagrams) {
      ::sendto(fd, d.data(), d.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    }
  }
  ::close(fd);
}

// A client's request (mode 3) whose transmit time is an hour ahead of the real clock.
std::vector<uint8_t> RequestAnHourAhead() {
  std::vector<uint8_t> d = testing::RealTimeReply(0x23, 2);
  d[40 + 3] = static_cast<uint8_t>(d[40 + 3] + 0x10);  // + 4096 s on the seconds' low bytes
  d[40 + 2] = static_cast<uint8_t>(d[40 + 2] - 0x02);  // - 512 s: 3584 s in all
  return d;
}

TEST(ListenBroadcast, BroadcastsSetTheClockAndARequestAnHourAheadIsIgnored) {
  if (Listener() == nullptr) GTEST_SKIP() << "not inside the broadcast namespaces";
  ListenRig rig;
  rig.engine.OnTimerTick();
  ASSERT_TRUE(rig.engine.State().EngineSocket);
  ASSERT_TRUE(rig.boxes.shown.empty()) << rig.boxes.shown[0].text;
  ASSERT_TRUE(rig.Listen([&] { return rig.clock.setCount >= 1; }, 8s)) << rig.ui.pane0;
  EXPECT_LE(std::llabs(rig.ClockErrorMs()), 2) << rig.ClockErrorMs();
  EXPECT_TRUE(std::regex_match(
      rig.ui.pane0,
      std::regex(
          R"(^Sync @ \d\d:\d\d:\d\d\.\.\. System Clock Corrected by: (2\.99\d|3\.00\d) seconds$)")))
      << rig.ui.pane0;
  ASSERT_TRUE(rig.Listen([&] { return rig.clock.setCount >= 2; }, 4s));
  const std::vector<std::string> lines = rig.LogLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_TRUE(std::regex_match(
      lines[0],
      std::regex(R"(^\d{4}/\d\d/\d\d,\d\d:\d\d:\d\d,\+(2\.99|3\.00)\d{4},Broadcast,1,H,S$)")))
      << lines[0];
  const double second = std::stod(lines[1].substr(20, lines[1].find(',', 20) - 20));
  EXPECT_LE(std::abs(second), 0.001) << lines[1];
  EXPECT_LE(std::llabs(rig.ClockErrorMs()), 2);

  const int64_t offsetNs = rig.clock.offsetNs;
  rig.engine.MutableState().BroadcastTickCount = 7;
  SendToListener({RequestAnHourAhead()});
  rig.loop.RunFor(300ms);
  EXPECT_EQ(rig.clock.offsetNs, offsetNs);
  EXPECT_EQ(rig.clock.setCount, 2);
  EXPECT_EQ(rig.LogLines().size(), 2u);
  EXPECT_EQ(rig.engine.State().BroadcastTickCount, 7u);
  EXPECT_TRUE(rig.engine.State().EngineSocket);
}

// Whatever arrives on port 123 (any length up to 2000 bytes, random bytes, broadcast headers
// with absurd stamps) is handled, and the next real broadcast still sets the clock.
TEST(ListenBroadcast, ArbitraryDatagramsOnTheRealSocketLeaveListeningWorking) {
  if (Listener() == nullptr) GTEST_SKIP() << "not inside the broadcast namespaces";
  const auto seed = static_cast<uint32_t>(std::random_device{}());
  std::mt19937 random(seed);
  SCOPED_TRACE("seed " + std::to_string(seed));
  ListenRig rig;
  rig.engine.OnTimerTick();
  std::vector<std::vector<uint8_t>> datagrams;
  for (int length = 0; length <= 2000; length += 1 + length / 16) {
    std::vector<uint8_t> d(length);
    for (auto& b : d) b = static_cast<uint8_t>(random());
    datagrams.push_back(d);
    std::vector<uint8_t> header(48);
    for (auto& b : header) b = static_cast<uint8_t>(random());
    header[0] = 0x25;
    header[1] = 1 + random() % 15;
    datagrams.push_back(header);
  }
  SendToListener(datagrams);
  const int before = rig.clock.setCount;
  rig.Listen([] { return false; }, 1s);
  ASSERT_TRUE(rig.Listen(
      [&] { return rig.clock.setCount > before && std::llabs(rig.ClockErrorMs()) <= 2; }, 8s))
      << rig.ClockErrorMs() << " " << rig.ui.pane0;
  EXPECT_EQ(rig.settings.Socket_Mode, kListenMode);
  EXPECT_TRUE(rig.boxes.shown.empty());
}

// Run with tests/support/udp_junk.py as the broadcaster's peer (QUORVANE_JUNK_DIR names its
// markers): 49-byte datagrams to the listener's port 123 at 100 a second for 20 s, from the
// same link. Every broadcast of those 20 s is applied: one about every 2 s, none missed.
TEST(ListenBroadcast, LongDatagramsBesideTheBroadcastsBlindNothing) {
  const char* markers = std::getenv("QUORVANE_JUNK_DIR");
  if (Listener() == nullptr || markers == nullptr) GTEST_SKIP() << "no junk sender beside";
  const std::filesystem::path started = std::filesystem::path(markers) / "started";
  const std::filesystem::path done = std::filesystem::path(markers) / "done";
  const auto testStart = std::filesystem::file_time_type::clock::now();
  ListenRig rig;
  rig.engine.OnTimerTick();
  ASSERT_TRUE(rig.engine.State().EngineSocket);
  // A marker older than this test is a previous run's.
  const auto fresh = [&](const std::filesystem::path& p) {
    std::error_code e;
    return std::filesystem::last_write_time(p, e) >= testStart && !e;
  };
  ASSERT_TRUE(rig.Listen([&] { return fresh(started); }, 10s)) << "the sender did not start";
  const auto from = std::chrono::steady_clock::now();
  std::vector<double> appliedAt;  // seconds after the first junk datagram
  bool socketAlwaysOpen = true;
  const bool ended = rig.Listen(
      [&] {
        socketAlwaysOpen = socketAlwaysOpen && rig.engine.State().EngineSocket != nullptr;
        while (static_cast<int>(appliedAt.size()) < rig.clock.setCount) {
          appliedAt.push_back(
              std::chrono::duration<double>(std::chrono::steady_clock::now() - from).count());
        }
        return fresh(done);
      },
      30s);
  ASSERT_TRUE(ended) << "the sender did not end";
  const double junkSeconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - from).count();
  std::ifstream sentFile(done);
  int sent = 0;
  sentFile >> sent;
  EXPECT_GE(sent, 1900);

  // A missed broadcast leaves a gap of 4 s; the first and the last may be up to 2 s from the
  // ends, plus a tick.
  std::string seen;
  double gap = appliedAt.empty() ? junkSeconds : appliedAt.front();
  for (size_t i = 0; i < appliedAt.size(); ++i) {
    seen += " " + std::to_string(appliedAt[i]).substr(0, 5);
    if (i > 0) gap = std::max(gap, appliedAt[i] - appliedAt[i - 1]);
  }
  if (!appliedAt.empty()) gap = std::max(gap, junkSeconds - appliedAt.back());
  EXPECT_GE(appliedAt.size(), 9u) << "applied at (s):" << seen;
  EXPECT_LT(gap, 3.0) << "applied at (s):" << seen;
  EXPECT_TRUE(socketAlwaysOpen);
  EXPECT_TRUE(rig.boxes.shown.empty()) << rig.boxes.shown[0].text;
  const auto other = std::count_if(rig.ui.statuses.begin(), rig.ui.statuses.end(),
                                   [](const std::string& s) { return !s.starts_with("Sync @ "); });
  EXPECT_EQ(other, 0) << "e.g. " << rig.ui.statuses.front();
  EXPECT_LE(std::llabs(rig.ClockErrorMs()), 2) << rig.ClockErrorMs();
}

}  // namespace
}  // namespace quorvane
