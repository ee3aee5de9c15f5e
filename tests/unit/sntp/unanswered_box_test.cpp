#include <gtest/gtest.h>

#include <functional>

#include "sntp/listen_mode.h"
#include "sntp/sntp_engine.h"
#include "support/engine_test_support.h"

namespace quorvane {
namespace {

using testing::EngineRig;

// A box that stays open while `whileOpen` runs, as the real one runs the event loop; a
// box opened from inside it nests. Nesting is cut off at a depth the test can survive.
void KeepBoxesOpen(EngineRig& r, const std::function<void()>& whileOpen) {
  auto depth = std::make_shared<int>(0);
  r.boxes.onShow = [depth, whileOpen](const BoxRequest&) {
    if (*depth >= 3) return;
    ++*depth;
    whileOpen();
    --*depth;
  };
}

TEST(UnansweredBox, UnwritableLogWithASyncAtEveryTickShowsOneBox) {
  EngineRig r;
  r.settings.SyncInterval = 0;  // hand-edited: every tick is due
  r.log.onWrite = [&] { r.gate.Show(ApplicationBox("The log cannot be written.")); };
  auto tickAndAnswer = [&] {
    r.engine.OnTimerTick();
    if (r.sockets.live != nullptr) r.AnswerWithOffset(0.25);
  };
  KeepBoxesOpen(r, [&] {
    for (int i = 0; i < 50; ++i) tickAndAnswer();
  });
  tickAndAnswer();
  EXPECT_EQ(r.boxes.shown.size(), 1u);
  EXPECT_EQ(r.sockets.RequestsSent(), 1u);
  // Answered: syncing goes on at the next tick.
  r.boxes.onShow = nullptr;
  tickAndAnswer();
  EXPECT_EQ(r.sockets.RequestsSent(), 2u);
  EXPECT_EQ(r.log.entries.size(), 2u);
}

TEST(UnansweredBox, ClockRefusalOpenForTwentyStepsNeitherResendsNorSwitches) {
  EngineRig r;
  r.settings.Notify_User = 1;
  r.clock.refuse = true;
  KeepBoxesOpen(r, [&] {
    for (int i = 0; i < 20; ++i) r.engine.OnWatchdogStep();
  });
  r.engine.StartSync();
  r.AnswerWithOffset(0.25);
  EXPECT_EQ(r.sockets.RequestsSent(), 1u);
  EXPECT_EQ(r.settings.UsingServer, 1);
  ASSERT_EQ(r.boxes.shown.size(), 1u);
  EXPECT_EQ(r.boxes.shown[0].caption, "Failed to Set System Clock");
  EXPECT_FALSE(r.watchdog.QueryPending());
  EXPECT_EQ(r.log.entries.size(), 1u);
}

// The listen-mode warning every 1000 ms (five ticks), as the listen mode shows it.
struct WarningEveryFiveTicks : ListenModeTick {
  explicit WarningEveryFiveTicks(BoxGate& gate) : gate(gate) {}
  void OnListenTick() override {
    if (++ticks % 5 == 0) gate.Show(EngineBox("No broadcast has been received."));
  }
  BoxGate& gate;
  int ticks = 0;
};

TEST(UnansweredBox, ListenModeWarningLeftOpenForThirtyTicksIsOneBox) {
  EngineRig r;
  r.settings.Socket_Mode = kListenMode;
  WarningEveryFiveTicks listen(r.gate);
  r.engine.SetListenModeTick(&listen);
  KeepBoxesOpen(r, [&] {
    for (int i = 0; i < 30; ++i) r.engine.OnTimerTick();
  });
  for (int i = 0; i < 5; ++i) r.engine.OnTimerTick();
  EXPECT_EQ(r.boxes.shown.size(), 1u);
  // The count stood still while the box waited, then goes on.
  r.boxes.onShow = nullptr;
  for (int i = 0; i < 5; ++i) r.engine.OnTimerTick();
  EXPECT_EQ(r.boxes.shown.size(), 2u);
}

}  // namespace
}  // namespace quorvane
