#include <gtest/gtest.h>
#include <unistd.h>

#include <signal.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <regex>
#include <string>

#include "helper/linux/helper_client.h"
#include "helper/linux/helper_clock.h"
#include "support/loopback_rig.h"
#include "support/shared_virtual_clock.h"
#include "support/temp_dir.h"

// A sync from the build tree as the program makes it: the real engine on its real socket
// against the loopback chrony, the step sent through the helper client to a helper process.
// Nothing in the build tree may set the clock, so that helper moves a virtual clock shared
// with this process through a file; the engine reads the same virtual clock.

namespace quorvane {
namespace {

using namespace std::chrono_literals;

constexpr int64_t kBehindMs = -3000;

TEST(HelperAgainstChrony, OneSyncIsSteppedByTheHelperProcessAndLogged) {
  testing::TempDir dir;
  const std::string file = dir.path() + "/virtual-clock";
  testing::SharedVirtualClock shared(file, true);
  shared.Reset(kBehindMs);
  testing::VirtualClockReader reader(shared.state());
  HelperClient client(testing::VirtualClockHelperCommand(QUORVANE_VIRTUAL_CLOCK_HELPER, file));
  HelperClock clock(client, reader);
  testing::LoopbackRig rig(0, &clock);

  rig.engine.StartSync();
  ASSERT_TRUE(rig.RunUntil([&] { return shared.state().steps > 0; }, 5s)) << rig.ui.pane0;
  EXPECT_LE(std::llabs(shared.state().offsetNs), 2'000'000) << shared.state().offsetNs;
  EXPECT_EQ(shared.state().steps, 1);
  ASSERT_GT(client.HelperProcess(), 0);
  EXPECT_EQ(shared.state().lastStepPid, client.HelperProcess());
  EXPECT_NE(shared.state().lastStepPid, getpid());
  const std::regex status(
      R"(^Sync @ \d\d:\d\d:\d\d\.\.\. System Clock Corrected by: (2\.99\d|3\.00\d) seconds$)");
  EXPECT_TRUE(std::regex_match(rig.ui.pane0, status)) << rig.ui.pane0;
  const std::string log = rig.ReadLog();
  const std::regex line(
      R"(^\d{4}/\d\d/\d\d,\d\d:\d\d:\d\d,\+(2\.99|3\.00)\d{4},127\.0\.0\.1,1,H,S\r\n$)");
  EXPECT_TRUE(std::regex_match(log, line)) << log;
  EXPECT_TRUE(rig.boxes.shown.empty());
}

// The helper's client and clock as the program wires them, its answers arriving through the
// rig's loop, and a meter of how long that loop is held at a time: the window's thread.
struct HelperRig {
  explicit HelperRig(int64_t behindMs) : shared(dir.path() + "/virtual-clock", true) {
    shared.Reset(behindMs);
  }
  // An attempt left by a failed check would go on using the clock, which goes first.
  ~HelperRig() { rig.engine.EndAttempt(""); }
  // Runs the rig until done(); `longestHold` is the longest the loop did not come back.
  bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    auto last = std::chrono::steady_clock::now();
    return rig.RunUntil(
        [&] {
          const auto now = std::chrono::steady_clock::now();
          longestHold = std::max(longestHold, now - last);
          last = now;
          return done();
        },
        limit);
  }
  // A sync to its end, made by a helper that steps the clock for the `steps`-th time.
  bool SyncMakes(int steps) {
    rig.engine.StartSync();
    return RunUntil([&] { return shared.state().steps == steps && rig.ui.queryEnabled; }, 5s);
  }
  int64_t LongestHoldMs() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(longestHold).count();
  }

  testing::TempDir dir;
  testing::SharedVirtualClock shared;
  testing::VirtualClockReader reader{shared.state()};
  testing::LoopbackRig rig{0, &clock};
  HelperClient client{testing::VirtualClockHelperCommand(QUORVANE_VIRTUAL_CLOCK_HELPER,
                                                         dir.path() + "/virtual-clock"),
                      &rig.loop};
  HelperClock clock{client, reader};
  std::chrono::steady_clock::duration longestHold{};
};

TEST(HelperAgainstChrony, AStoppedHelperHoldsNeitherTheWindowNorTheSyncBeyondItsTimeOut) {
  HelperRig h(kBehindMs);
  ASSERT_TRUE(h.SyncMakes(1));
  const pid_t helper = h.client.HelperProcess();
  ASSERT_GT(helper, 0);
  ASSERT_EQ(kill(helper, SIGSTOP), 0);

  h.longestHold = {};
  const auto start = std::chrono::steady_clock::now();
  h.rig.engine.StartSync();
  ASSERT_TRUE(h.RunUntil([&] { return !h.rig.boxes.shown.empty(); }, 6s)) << h.rig.ui.pane0;
  const auto took = std::chrono::steady_clock::now() - start;
  std::printf("window's thread held at most %lld ms while the helper was stopped\n",
              static_cast<long long>(h.LongestHoldMs()));
  EXPECT_LT(h.LongestHoldMs(), 200);
  // The answer's time-out, counted from the request, ends the sync as before.
  EXPECT_GE(took, 1900ms);
  EXPECT_LT(took, 3500ms);
  EXPECT_EQ(h.rig.boxes.shown[0].caption, "Failed to Set System Clock");
  EXPECT_EQ(h.rig.boxes.shown[0].text, std::strerror(ETIMEDOUT));
  const std::string log = h.rig.ReadLog();
  EXPECT_EQ(log.substr(log.size() - 4), ",F\r\n") << log;
  // The stuck helper was ended; the next sync is made by a new one.
  EXPECT_NE(kill(helper, 0), 0);
  ASSERT_TRUE(h.SyncMakes(2));
  EXPECT_NE(h.client.HelperProcess(), helper);
}

TEST(HelperAgainstChrony, ASyncThatFindsTheHelperKilledIsMadeByItsSuccessor) {
  HelperRig h(kBehindMs);
  ASSERT_TRUE(h.SyncMakes(1));
  const pid_t first = h.client.HelperProcess();
  ASSERT_GT(first, 0);
  ASSERT_EQ(kill(first, SIGKILL), 0);
  siginfo_t info{};
  ASSERT_EQ(waitid(P_PID, static_cast<id_t>(first), &info, WEXITED | WNOWAIT), 0);

  ASSERT_TRUE(h.SyncMakes(2)) << h.rig.ui.pane0;
  EXPECT_TRUE(h.rig.boxes.shown.empty());
  EXPECT_NE(h.shared.state().lastStepPid, first);
  EXPECT_EQ(h.shared.state().lastStepPid, h.client.HelperProcess());
  EXPECT_TRUE(h.rig.ui.pane0.starts_with("Sync @ ")) << h.rig.ui.pane0;
  const std::string log = h.rig.ReadLog();
  const std::regex twoSyncs(R"(^([^\r\n]*,S\r\n){2}$)");
  EXPECT_TRUE(std::regex_match(log, twoSyncs)) << log;
}

}  // namespace
}  // namespace quorvane
