#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
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

}  // namespace
}  // namespace quorvane
