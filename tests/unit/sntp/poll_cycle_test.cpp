#include "sntp/sntp_engine.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "support/engine_test_support.h"

namespace quorvane {
namespace {

using testing::EngineRig;
using testing::FakeSocket;
using testing::Reply;

constexpr const char* kNoResponse = "SNTP Server: Response Timeout";
constexpr const char* kNeither =
    "Neither primary nor secondary server is responding.\nPlease open Quorvane to choose new "
    "servers.";

TEST(PollCycleTest, SilentServerGetsFourRequestsThenSwitchesOver) {
  EngineRig r;
  r.settings.Notify_User = 1;
  r.engine.StartSync();
  EXPECT_FALSE(r.ui.queryEnabled);
  EXPECT_FALSE(r.ui.syncEnabled);
  EXPECT_TRUE(r.watchdog.QueryPending());
  for (int attempt = 1; attempt <= 3; ++attempt) {
    r.TimeOutOnce();
    EXPECT_EQ(r.sockets.RequestsSent(), static_cast<size_t>(attempt + 1));
    EXPECT_EQ(r.engine.State().TimeoutRetries, static_cast<uint32_t>(attempt));
    EXPECT_TRUE(r.boxes.shown.empty());
  }
  r.TimeOutOnce();
  EXPECT_EQ(r.ui.pane0, kNoResponse);
  EXPECT_EQ(r.engine.State().TimeoutRetries, 0u);
  EXPECT_EQ(r.settings.ServerInUse, "secondary.test");
  EXPECT_EQ(r.settings.UsingServer, 2);
  EXPECT_TRUE(r.engine.State().FailoverSinceReply);
  EXPECT_TRUE(r.engine.State().SyncRequested);  // the next query still sets the clock
  ASSERT_EQ(r.boxes.shown.size(), 1u);
  EXPECT_EQ(r.boxes.shown[0].text,
            "The primary server did not respond.\n3 attempts were made.\nQuorvane switched to "
            "the secondary.");
  EXPECT_EQ(r.boxes.shown[0].kind, BoxKind::Engine);
  EXPECT_EQ(r.boxes.shown[0].caption, "Message from Quorvane");
  EXPECT_FALSE(r.watchdog.QueryPending());
  EXPECT_TRUE(r.ui.queryEnabled && r.ui.syncEnabled);
  for (const auto& rec : r.sockets.records) EXPECT_EQ(rec->connectedHost, "primary.test");
  // No fifth request until the next interval, however many stale steps arrive.
  r.TimeOutOnce();
  EXPECT_EQ(r.sockets.RequestsSent(), 4u);
}

TEST(PollCycleTest, RequestsGoToPort123AndCarryFreshBitsInTheirTransmitTimestamp) {
  EngineRig r;
  r.engine.StartQuery();
  EXPECT_EQ(r.ui.statuses,
            (std::vector<std::string>{"Socket Created.", "Connecting to SNTP Server..."}));
  EXPECT_EQ(r.engine.State().T1, r.clock.ReadLocalClock());
  r.TimeOutOnce();  // the retry's request
  const auto& first = r.sockets.records[0]->sent;
  const auto& rec = r.sockets.Last();
  EXPECT_EQ(rec.connectedPort, 123);
  ASSERT_EQ(first.size(), 1u);
  ASSERT_EQ(rec.sent.size(), 1u);
  std::vector<uint8_t> fixed(48, 0);
  fixed[0] = 0x0B;
  for (const std::vector<uint8_t>* request : {&first[0], &rec.sent[0]}) {
    EXPECT_TRUE(std::equal(fixed.begin(), fixed.begin() + 40, request->begin()));
    EXPECT_EQ(request->size(), 48u);
  }
  EXPECT_FALSE(std::equal(first[0].begin() + 40, first[0].end(), rec.sent[0].begin() + 40));
  EXPECT_TRUE(
      std::equal(rec.sent[0].begin() + 40, rec.sent[0].end(), r.engine.State().T1Nonce.begin()));
}

TEST(PollCycleTest, TimeoutRetriesSurviveAReply) {
  EngineRig r;
  r.engine.StartQuery();
  r.TimeOutOnce();  // one time-out, then the retry is answered
  r.AnswerWithOffset(0.5);
  EXPECT_EQ(r.engine.State().TimeoutRetries, 1u);
  r.engine.StartQuery();
  r.TimeOutOnce();
  r.TimeOutOnce();
  EXPECT_EQ(r.settings.UsingServer, 1);
  r.TimeOutOnce();  // the third time-out of this silent period switches over
  EXPECT_EQ(r.settings.UsingServer, 2);
  EXPECT_EQ(r.ui.pane0, kNoResponse);
}

TEST(PollCycleTest, TwoSwitchOversWithoutReplyShowNeitherBoxEvenWithoutNotify) {
  EngineRig r;
  r.settings.Notify_User = 0;
  r.engine.FailOver(FailOverReason::NoResponse);
  EXPECT_TRUE(r.boxes.shown.empty());
  EXPECT_EQ(r.settings.ServerInUse, "secondary.test");
  r.engine.FailOver(FailOverReason::NoResponse);
  ASSERT_EQ(r.boxes.shown.size(), 1u);
  EXPECT_EQ(r.boxes.shown[0].text, kNeither);
  EXPECT_EQ(r.settings.ServerInUse, "primary.test");
  EXPECT_EQ(r.settings.UsingServer, 1);
  // A handled reply clears it again.
  r.engine.StartQuery();
  r.AnswerWithOffset(0.0);
  EXPECT_FALSE(r.engine.State().FailoverSinceReply);
}

TEST(PollCycleTest, FailOverNoticesByServerAndReason) {
  struct Case {
    int using_;
    FailOverReason reason;
    const char* text;
  };
  const Case cases[] = {
      {1, FailOverReason::NoResponse,
       "The primary server did not respond.\n3 attempts were made.\nQuorvane switched to the "
       "secondary."},
      {1, FailOverReason::ConnectTimedOut,
       "Could not connect to the primary server.\nQuorvane switched to the secondary."},
      {2, FailOverReason::NoResponse,
       "The secondary server did not respond.\n3 attempts were made.\nQuorvane switched to the "
       "primary."},
      {2, FailOverReason::ConnectTimedOut,
       "Could not connect to the secondary server.\nQuorvane switched to the primary."},
      {7, FailOverReason::NoResponse,  // any other value counts as the secondary
       "The secondary server did not respond.\n3 attempts were made.\nQuorvane switched to the "
       "primary."},
  };
  for (const Case& c : cases) {
    EngineRig r;
    r.settings.Notify_User = 1;
    r.settings.UsingServer = c.using_;
    r.engine.FailOver(c.reason);
    ASSERT_EQ(r.boxes.shown.size(), 1u);
    EXPECT_EQ(r.boxes.shown[0].text, c.text);
    EXPECT_EQ(r.settings.UsingServer, c.using_ == 1 ? 2 : 1);
  }
}

TEST(PollCycleTest, SlowLookupEndsInConnectTimeoutAndSwitchOver) {
  EngineRig r;
  r.settings.Notify_User = 1;
  r.sockets.duringConnect = [&] { r.clock.AdvanceMs(11000); };
  r.engine.StartSync();
  EXPECT_EQ(r.ui.pane0, "Reset: The attempt to connect timed out.");
  EXPECT_EQ(r.sockets.RequestsSent(), 0u);
  EXPECT_FALSE(r.watchdog.QueryPending());
  EXPECT_EQ(r.settings.UsingServer, 2);
  ASSERT_EQ(r.boxes.Texts().size(), 1u);
  EXPECT_EQ(r.boxes.Texts()[0],
            "Could not connect to the primary server.\nQuorvane switched to the secondary.");
  // Exactly ten seconds is not a time-out.
  EngineRig ten;
  ten.sockets.duringConnect = [&] { ten.clock.AdvanceMs(10000); };
  ten.engine.StartQuery();
  EXPECT_EQ(ten.sockets.RequestsSent(), 1u);
}

// A lookup that answers later: the attempt waits without sending, then goes on as a blocking
// connect would have, counted from the connect's start; one that never answers is abandoned
// by the tick after ten seconds.
TEST(PollCycleTest, PendingLookupResumesOrTimesOutFromTheConnectsStart) {
  struct Case {
    const char* name;
    int waitMs;
    int answer;  // -1: no answer, only ticks
    bool sent;
    const char* status;
    size_t boxes;
  };
  for (const Case& c : {
           Case{"answered", 300, 0, true, "Connecting to SNTP Server...", 0},
           Case{"failed", 300, 10022, true, "Connecting to SNTP Server...", 1},
           Case{"answered late", 11000, 0, false, "Reset: The attempt to connect timed out.", 1},
           Case{"never answered", 10000, -1, false, "Connecting to SNTP Server...", 0},
           Case{"abandoned", 11000, -1, false, "Reset: The attempt to connect timed out.", 1},
       }) {
    EngineRig r;
    r.settings.Notify_User = 1;
    r.engine.MutableState().FirstPollPending = false;  // the ticks below start no sync
    r.sockets.lookupPending = true;
    r.engine.StartSync();
    EXPECT_EQ(r.sockets.RequestsSent(), 0u) << c.name;
    EXPECT_FALSE(r.watchdog.QueryPending()) << c.name;
    EXPECT_FALSE(r.ui.syncEnabled) << c.name;
    FakeSocket* socket = r.sockets.live;
    r.clock.AdvanceMs(c.waitMs);
    if (c.answer >= 0) socket->FinishLookup(c.answer);
    r.engine.OnTimerTick();
    EXPECT_EQ(r.sockets.RequestsSent() > 0, c.sent) << c.name;
    EXPECT_EQ(r.watchdog.QueryPending(), c.sent) << c.name;
    EXPECT_EQ(r.ui.pane0, c.status) << c.name;
    EXPECT_EQ(r.boxes.shown.size(), c.boxes) << c.name;
    const bool timedOut = std::string(c.status) != "Connecting to SNTP Server...";
    EXPECT_EQ(r.settings.UsingServer, timedOut ? 2 : 1) << c.name;
    if (!timedOut) continue;
    // An answer that comes after the attempt was given up is dropped.
    r.engine.OnLookupDone(0);
    EXPECT_EQ(r.sockets.RequestsSent(), 0u) << c.name;
  }
}

TEST(PollCycleTest, ConnectFailureIsReportedAndTheAttemptGoesOn) {
  EngineRig r;
  r.sockets.failConnect = true;
  r.sockets.connectError = 10022;
  r.engine.StartQuery();
  ASSERT_EQ(r.boxes.shown.size(), 1u);
  EXPECT_EQ(r.boxes.shown[0].text,
            "An error has occurred upon Connect():\n The socket has not been bound with Bind.");
  EXPECT_EQ(r.boxes.shown[0].kind, BoxKind::Application);
  EXPECT_EQ(r.sockets.RequestsSent(), 1u);
  EXPECT_TRUE(r.watchdog.QueryPending());
}

TEST(PollCycleTest, SocketCreationFailureEndsTheAttempt) {
  EngineRig r;
  r.sockets.failCreate = true;
  r.engine.StartSync();
  EXPECT_EQ(r.ui.statuses, std::vector<std::string>{"Reset: Socket Creation FAILED!"});
  EXPECT_FALSE(r.engine.State().EngineSocket);
  EXPECT_TRUE(r.ui.queryEnabled && r.ui.syncEnabled);
  EXPECT_FALSE(r.watchdog.QueryPending());
}

TEST(PollCycleTest, ConnectAndCloseNotifications) {
  EngineRig r;
  r.engine.StartQuery();
  r.engine.OnConnect(0);
  EXPECT_EQ(r.ui.pane0, "Connected; Awaiting Server Response...");
  r.engine.OnConnect(10061);
  EXPECT_EQ(r.ui.pane0, "Reset: Connect FAILED. Verify Internet Link and/or Server URL/IP.");
  EXPECT_FALSE(r.engine.State().EngineSocket);
  EXPECT_EQ(r.settings.UsingServer, 1);
  r.engine.StartQuery();
  const size_t shown = r.ui.statuses.size();
  r.engine.OnClose();
  EXPECT_FALSE(r.engine.State().EngineSocket);
  EXPECT_EQ(r.ui.statuses.size(), shown);
  EXPECT_TRUE(r.watchdog.QueryPending());  // the attempt runs into its time-out
}

TEST(TimerTickTest, FirstTickSyncsThenEveryInterval) {
  EngineRig r;
  r.settings.SyncInterval = 15;  // 75 ticks
  r.engine.OnTimerTick();
  EXPECT_EQ(r.sockets.records.size(), 1u);
  EXPECT_TRUE(r.engine.State().SyncRequested);
  EXPECT_TRUE(r.watchdog.TickSet());
  r.AnswerWithOffset(0.25);
  for (int i = 1; i < 75; ++i) r.engine.OnTimerTick();
  EXPECT_EQ(r.sockets.records.size(), 1u);
  r.engine.OnTimerTick();
  EXPECT_EQ(r.sockets.records.size(), 2u);
  EXPECT_EQ(r.engine.State().PollTicks, 0u);
}

TEST(TimerTickTest, NewShorterIntervalCountsFromTheLastPoll) {
  EngineRig r;
  r.settings.SyncInterval = 3600;
  r.engine.OnTimerTick();
  for (int i = 0; i < 100; ++i) r.engine.OnTimerTick();
  EXPECT_EQ(r.sockets.records.size(), 1u);
  r.settings.SyncInterval = 15;  // already past: the next tick polls
  r.engine.OnTimerTick();
  EXPECT_EQ(r.sockets.records.size(), 2u);
}

TEST(TimerTickTest, ZeroIntervalSyncsOnEveryTick) {
  EngineRig r;
  r.settings.SyncInterval = 0;
  for (int i = 0; i < 3; ++i) r.engine.OnTimerTick();
  EXPECT_EQ(r.sockets.records.size(), 3u);
}

TEST(TimerTickTest, NothingHappensWhileTheServerDialogIsOpen) {
  EngineRig r;
  r.engine.SetServerDialogOpen(true);
  r.settings.CommandLineSync = true;
  for (int i = 0; i < 10; ++i) r.engine.OnTimerTick();
  EXPECT_TRUE(r.sockets.records.empty());
  EXPECT_EQ(r.engine.State().PollTicks, 0u);
  EXPECT_FALSE(r.watchdog.TickSet());
  EXPECT_TRUE(r.settings.CommandLineSync);
}

TEST(TimerTickTest, ListenModeTickGoesThroughTheSeam) {
  struct CountingListen : ListenModeTick {
    int ticks = 0;
    void OnListenTick() override { ++ticks; }
  } listen;
  EngineRig r;
  r.settings.Socket_Mode = kListenMode;
  r.engine.SetListenModeTick(&listen);
  r.engine.OnTimerTick();
  EXPECT_EQ(listen.ticks, 1);
  EXPECT_TRUE(r.sockets.records.empty());
  EXPECT_EQ(r.engine.State().PollTicks, 0u);
}

TEST(TimerTickTest, CommandLineSyncAsksToCloseOnceAfterTheReply) {
  EngineRig r;
  r.settings.CommandLineSync = true;
  r.engine.OnTimerTick();
  EXPECT_FALSE(r.settings.CommandLineSync);
  EXPECT_TRUE(r.engine.State().ExitAfterSync);
  EXPECT_EQ(r.sockets.records.size(), 2u);  // the second sync replaced the first's socket
  EXPECT_TRUE(r.sockets.records[0]->closed);
  EXPECT_EQ(r.ui.closePosts, 0);
  r.AnswerWithOffset(1.0);
  EXPECT_EQ(r.ui.closePosts, 1);
  EXPECT_EQ(r.log.entries.size(), 1u);
  // A user who cancelled the close is not asked again by later replies.
  r.engine.StartQuery();
  r.AnswerWithOffset(0.0);
  EXPECT_EQ(r.ui.closePosts, 1);
}

TEST(TimerTickTest, CommandLineSyncWithoutAnswerNeverAsksToClose) {
  EngineRig r;
  r.settings.CommandLineSync = true;
  r.engine.OnTimerTick();
  for (int i = 0; i < 4; ++i) r.TimeOutOnce();
  EXPECT_EQ(r.ui.closePosts, 0);
}

TEST(PollCycleTest, StaleWatchdogStepAfterTheAttemptDoesNothing) {
  EngineRig r;
  r.engine.StartQuery();
  for (int i = 0; i < 15; ++i) r.engine.OnWatchdogStep();
  r.AnswerWithOffset(0.0);
  const int position = r.ui.progress;
  r.engine.OnWatchdogStep();
  EXPECT_EQ(r.ui.progress, position);
  EXPECT_EQ(r.sockets.RequestsSent(), 1u);
}

TEST(ServerTestTest, FailureOfTheTestServerLeavesServersAndStatusAlone) {
  EngineRig r;
  r.engine.SetServerDialogOpen(true);
  r.settings.Notify_User = 1;
  r.engine.StartServerTest(2);
  EXPECT_TRUE(r.ui.statuses.empty());
  for (int i = 0; i < 4; ++i) r.TimeOutOnce();
  EXPECT_EQ(r.ui.testFailed, 1);
  EXPECT_TRUE(r.ui.statuses.empty());
  EXPECT_EQ(r.settings.ServerInUse, "primary.test");
  EXPECT_EQ(r.settings.UsingServer, 1);
  EXPECT_TRUE(r.boxes.shown.empty());
}

TEST(ServerTestTest, ReplyFillsTravelTimesBeforeTheDialogIsTold) {
  EngineRig r;
  r.engine.SetServerDialogOpen(true);
  std::string seen;
  r.ui.onTestSucceeded = [&] { seen = r.engine.State().ServerTest.RequestTravelText; };
  r.clock.SetNtp(3454321000.125);
  r.engine.StartServerTest(1);
  r.clock.SetNtp(3454321000.25);
  r.sockets.Deliver(Reply(3454321000.875, 3454321000.9375));
  EXPECT_EQ(r.ui.testSucceeded, 1);
  EXPECT_EQ(seen, "0.750000");
  EXPECT_EQ(r.engine.State().ServerTest.ServerProcessingText, "0.062500");
  EXPECT_EQ(r.engine.State().ServerTest.ResponseTravelText, "-0.687500");
  EXPECT_TRUE(r.clock.setRecords.empty());  // a plain test does not set the clock
}

TEST(PollCycleTest, T1IsReadAfterTheSendUnlessTheSendWasHeldUp) {
  for (const int sendMs : {0, 1, 5}) {
    EngineRig r;
    const NtpSeconds start = r.clock.ReadLocalClock();
    r.sockets.duringSend = [&] { r.clock.AdvanceMs(sendMs); };
    r.engine.StartQuery();
    // A millisecond is far longer than a send takes: the thread was switched out on its
    // way back, after the request had left.
    EXPECT_EQ(r.engine.State().T1, sendMs == 0 ? r.clock.ReadLocalClock() : start) << sendMs;
  }
}

}  // namespace
}  // namespace quorvane
