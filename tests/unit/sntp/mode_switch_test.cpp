#include <gtest/gtest.h>

#include "sntp/listen_mode.h"
#include "sntp/socket_error_text.h"
#include "support/engine_test_support.h"

namespace quorvane {
namespace {

// Poll limit 1 hour, listen limit 10 seconds, 1000 ms broadcast time-out; poll mode.
struct SwitchRig : testing::ModeRig {
  SwitchRig() : ModeRig(kPollMode) {}
  ListenMode& listen() { return engine.Listen(); }
};

TEST(ModeSwitch, LimitInForceAndStoredModeAfterEachSwitch) {
  SwitchRig r;
  struct Step {
    bool toListen;
    int32_t mode;
    double limit;
    const char* status;
  };
  const Step steps[] = {{true, kListenMode, 10.0, kListenSavedText},
                        {false, kPollMode, 3600.0, nullptr},
                        {true, kListenMode, 10.0, kListenSavedText},
                        {true, kListenMode, 10.0, kListenSavedText}};
  for (const Step& s : steps) {
    const int updates = r.ui.modeUiUpdates;
    if (s.toListen) {
      r.listen().ListenModeCommand(true, r.store);
      EXPECT_EQ(r.ui.pane0, s.status);
    } else {
      r.listen().PollModeCommand(r.store);
    }
    EXPECT_EQ(r.settings.Socket_Mode, s.mode);
    EXPECT_EQ(r.StoredMode(), s.mode);
    EXPECT_EQ(r.settings.MaxCorrectionSeconds, s.limit);
    EXPECT_EQ(r.ui.modeUiUpdates, updates + 1);
    EXPECT_EQ(static_cast<bool>(r.engine.State().EngineSocket), s.mode == kListenMode);
  }
  EXPECT_TRUE(r.boxes.shown.empty());
}

TEST(ModeSwitch, CancelLeavesModeSocketAndLimit) {
  for (const int32_t mode : {kPollMode, kListenMode}) {
    SwitchRig r;
    if (mode == kListenMode) r.listen().ListenModeCommand(true, r.store);
    const CMyAsyncSocket* socket = r.engine.State().EngineSocket.get();
    const double limit = r.settings.MaxCorrectionSeconds;
    r.store.writtenKeys.clear();
    r.listen().ListenModeCommand(false, r.store);
    EXPECT_EQ(r.ui.pane0, "Mode not changed: user canceled.");
    EXPECT_EQ(r.settings.Socket_Mode, mode);
    EXPECT_EQ(r.engine.State().EngineSocket.get(), socket);
    if (socket != nullptr) {
      EXPECT_FALSE(r.sockets.Last().closed);
    }
    EXPECT_EQ(r.settings.MaxCorrectionSeconds, limit);
    EXPECT_TRUE(r.store.writtenKeys.empty());
  }
}

TEST(ModeSwitch, ConfirmingAgainWhileListeningWhenTheBindFailsKeepsAnUnusableSocket) {
  SwitchRig r;
  r.listen().ListenModeCommand(true, r.store);
  r.sockets.bindError = wsa::kAddrInUse;
  r.listen().ListenModeCommand(true, r.store);
  EXPECT_EQ(r.ui.pane0, "Error: Could not create listening socket.");
  ASSERT_EQ(r.boxes.shown.size(), 2u);
  EXPECT_EQ(r.settings.Socket_Mode, kListenMode);
  EXPECT_EQ(r.StoredMode(), kListenMode);
  EXPECT_TRUE(r.sockets.records[0]->closed);
  ASSERT_TRUE(r.engine.State().EngineSocket);
  EXPECT_EQ(r.sockets.Last().boundPort, 0);
  // Ticks keep the unusable socket; the warning repeats every second.
  for (int i = 0; i < 15; ++i) r.engine.OnTimerTick();
  EXPECT_EQ(r.sockets.records.size(), 2u);
  EXPECT_EQ(r.boxes.shown.size(), 5u);
  EXPECT_EQ(r.boxes.shown.back(), EngineBox(kNoBroadcastText));
}

TEST(ModeSwitch, FailedBindFromPollModeStaysInPollMode) {
  SwitchRig r;
  r.sockets.bindError = wsa::kAccess;
  r.listen().ListenModeCommand(true, r.store);
  EXPECT_EQ(r.ui.pane0, "Error: Could not create listening socket.");
  EXPECT_EQ(r.settings.Socket_Mode, kPollMode);
  EXPECT_EQ(r.StoredMode(), 0);
  EXPECT_EQ(r.settings.MaxCorrectionSeconds, 3600.0);
}

// A poll left pending when listening starts must not, on its time-out, retry and take the
// listening socket's place.
TEST(ModeSwitch, PendingPollEndsWhenListeningStarts) {
  SwitchRig r;
  r.engine.StartSync();
  ASSERT_TRUE(r.watchdog.QueryPending());
  r.listen().ListenModeCommand(true, r.store);
  const CMyAsyncSocket* listening = r.engine.State().EngineSocket.get();
  for (int i = 0; i < 100; ++i) r.engine.OnWatchdogStep();
  EXPECT_EQ(r.engine.State().EngineSocket.get(), listening);
  EXPECT_EQ(r.sockets.RequestsSent(), 1u);
}

TEST(ModeSwitch, PollCommandClosesTheListeningSocketAndPollingResumes) {
  SwitchRig r;
  r.listen().ListenModeCommand(true, r.store);
  r.listen().PollModeCommand(r.store);
  EXPECT_TRUE(r.sockets.records[0]->closed);
  EXPECT_FALSE(r.engine.State().EngineSocket);
  r.engine.OnTimerTick();
  EXPECT_EQ(r.sockets.RequestsSent(), 1u);
}

// The tray's sync and the Query button do nothing while listening: the listening socket
// stays, and so does listen mode.
TEST(ModeSwitch, SyncAndQueryWhileListeningLeaveTheListeningSocket) {
  SwitchRig r;
  r.listen().ListenModeCommand(true, r.store);
  const CMyAsyncSocket* listening = r.engine.State().EngineSocket.get();
  r.engine.StartSync();
  r.engine.StartQuery();
  EXPECT_EQ(r.engine.State().EngineSocket.get(), listening);
  EXPECT_EQ(r.sockets.RequestsSent(), 0u);
  EXPECT_FALSE(r.engine.State().SyncRequested);
  EXPECT_FALSE(r.watchdog.QueryPending());
}

TEST(ModeSwitch, CommandLineSyncInListenModeClosesAfterTheNextBroadcast) {
  SwitchRig r;
  r.listen().ListenModeCommand(true, r.store);
  r.settings.CommandLineSync = true;
  r.engine.OnTimerTick();
  EXPECT_EQ(r.sockets.RequestsSent(), 0u);
  EXPECT_EQ(r.ui.closePosts, 0);
  const NtpSeconds now = r.clock.ReadLocalClock();
  std::vector<uint8_t> broadcast = testing::Reply(0, now + 0.5);
  broadcast[0] = 0x25;  // mode 5
  r.sockets.Deliver(broadcast);
  EXPECT_EQ(r.clock.steps.size(), 1u);
  EXPECT_EQ(r.ui.closePosts, 1);
}

}  // namespace
}  // namespace quorvane
