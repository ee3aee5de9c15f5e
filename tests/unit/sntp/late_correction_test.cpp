#include <gtest/gtest.h>

#include <memory>

#include "sntp/listen_mode.h"
#include "support/engine_test_support.h"

// A clock whose step is made by another process answers after the reply's handling has
// returned. The sync must end then exactly as it ends with a clock that answers at once,
// and an answer that finds the engine moved on, or gone, must not touch what came since.

namespace quorvane {
namespace {

using testing::EngineRig;

constexpr NtpSeconds X = 3454321000.0;

// What the user and the log see of a sync, in one text that a failure prints whole.
std::string Outcome(const EngineRig& r) {
  std::string text = "statuses:";
  for (const std::string& status : r.ui.statuses) text += " [" + status + "]";
  text += "\nboxes:";
  for (const BoxRequest& box : r.boxes.shown) text += " [" + box.caption + ": " + box.text + "]";
  text += "\nlog:";
  for (const auto& entry : r.log.entries) text += std::string(" ") + entry.status;
  const EngineState& state = r.engine.State();
  text += "\nbuttons " + std::to_string(r.ui.queryEnabled && r.ui.syncEnabled) + ", close posts " +
          std::to_string(r.ui.closePosts) + ", failover since reply " +
          std::to_string(state.FailoverSinceReply) + ", socket " +
          std::to_string(state.EngineSocket != nullptr);
  return text;
}

struct SyncCase {
  const char* name;
  bool refuse;
  bool commandLine;
  bool afterFailover;
};

void RunSync(EngineRig& r, const SyncCase& c) {
  r.clock.refuse = c.refuse;
  r.clock.SetNtp(X);
  if (c.afterFailover) r.engine.FailOver(FailOverReason::NoResponse);
  c.commandLine ? r.engine.StartCommandLineSync() : r.engine.StartSync();
  r.AnswerWithOffset(0.5);
}

TEST(LateCorrection, ALateAnswerEndsTheSyncAsAnAnswerAtOnceWould) {
  const SyncCase cases[] = {{"accepted", false, false, false},
                            {"refused", true, false, false},
                            {"command-line sync", false, true, false},
                            {"refused after a failover", true, false, true}};
  for (const SyncCase& c : cases) {
    EngineRig atOnce;
    RunSync(atOnce, c);
    EngineRig late;
    late.clock.deferAnswers = true;
    RunSync(late, c);
    // Waiting: the attempt is still on, nothing is told yet, and the ticks go on.
    ASSERT_EQ(late.clock.unanswered.size(), 1u) << c.name;
    EXPECT_TRUE(late.log.entries.empty() && late.boxes.shown.empty()) << c.name;
    EXPECT_FALSE(late.ui.queryEnabled || late.ui.syncEnabled) << c.name;
    EXPECT_EQ(late.ui.closePosts, 0) << c.name;
    for (int tick = 0; tick < 10; ++tick) late.engine.OnTimerTick();
    EXPECT_EQ(late.sockets.records.size(), 1u) << c.name << ": no new attempt while waiting";
    late.clock.AnswerNext();
    EXPECT_EQ(Outcome(late), Outcome(atOnce)) << c.name;
    EXPECT_EQ(late.clock.privilegeRestored, 1) << c.name;
  }
}

TEST(LateCorrection, AnAnswerAfterTheEngineMovedOnOnlyTellsWhatBecameOfTheClock) {
  struct Case {
    const char* name;
    void (*moveOn)(testing::ModeRig&);
    const char* statusAfter;
  };
  const Case cases[] = {
      {"a new query", [](testing::ModeRig& r) { r.engine.StartQuery(); },
       "Connecting to SNTP Server..."},
      {"listen mode",
       [](testing::ModeRig& r) { r.engine.Listen().ListenModeCommand(true, r.store); },
       kListenSavedText},
  };
  for (const bool refuse : {false, true}) {
    for (const Case& c : cases) {
      testing::ModeRig r(kPollMode);
      r.clock.deferAnswers = true;
      r.clock.refuse = refuse;
      r.clock.SetNtp(X);
      r.engine.StartSync();
      r.AnswerWithOffset(0.5);
      c.moveOn(r);
      const CMyAsyncSocket* socket = r.engine.State().EngineSocket.get();
      ASSERT_NE(socket, nullptr) << c.name;
      r.clock.AnswerNext();
      ASSERT_EQ(r.log.entries.size(), 1u) << c.name;
      EXPECT_EQ(r.log.entries[0].status, refuse ? 'F' : 'S') << c.name;
      EXPECT_EQ(r.boxes.shown.size(), refuse ? 1u : 0u) << c.name;
      EXPECT_EQ(r.ui.pane0, c.statusAfter) << c.name;
      EXPECT_EQ(r.engine.State().EngineSocket.get(), socket) << c.name;
    }
  }
}

TEST(LateCorrection, AnAnswerForAnEngineThatIsGoneIsDropped) {
  testing::FakeClock clock;
  clock.deferAnswers = true;
  clock.SetNtp(X);
  testing::EngineRig parts;
  auto engine = std::make_unique<SntpEngine>(EnginePorts{
      parts.settings, parts.ui, parts.gate, parts.sockets, clock, parts.log, parts.watchdog});
  engine->StartSync();
  parts.sockets.Deliver(testing::Reply(engine->State().T1 + 0.5, clock.ReadLocalClock() + 0.5));
  ASSERT_EQ(clock.unanswered.size(), 1u);
  const std::vector<std::string> statuses = parts.ui.statuses;
  engine.reset();
  clock.AnswerNext();
  EXPECT_TRUE(parts.log.entries.empty());
  EXPECT_EQ(parts.ui.statuses, statuses);
}

TEST(LateCorrection, ABroadcastMeasuredBeforeAWaitingStepIsNotApplied) {
  EngineRig r;
  r.clock.deferAnswers = true;
  r.settings.Socket_Mode = kListenMode;
  r.settings.BroadcastTimeoutMs = 3600000;
  r.engine.OnTimerTick();  // opens the listening socket
  const auto broadcast = [&] {
    r.sockets.Deliver(testing::Reply(0, r.clock.ReadLocalClock() + 2));
  };
  broadcast();
  broadcast();
  ASSERT_EQ(r.clock.unanswered.size(), 1u);
  r.clock.AnswerNext();
  ASSERT_EQ(r.clock.steps.size(), 1u);
  EXPECT_NEAR(r.clock.steps[0], 2.0, 0.001);
  EXPECT_EQ(r.log.entries.size(), 1u);
  EXPECT_NE(r.engine.State().EngineSocket, nullptr);
}

}  // namespace
}  // namespace quorvane
