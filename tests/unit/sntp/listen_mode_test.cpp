#include "sntp/listen_mode.h"

#include <gtest/gtest.h>

#include "sntp/socket_error_text.h"
#include "support/engine_test_support.h"

namespace quorvane {
namespace {

// An engine in listen mode: 1000 ms time-out, poll limit 1 hour, listen limit 10 seconds.
struct ListenRig : testing::ModeRig {
  ListenRig() : ModeRig(kListenMode) {}
  void Ticks(int n) {
    for (int i = 0; i < n; ++i) engine.OnTimerTick();
  }
  size_t Warnings() const {
    size_t n = 0;
    for (const BoxRequest& b : boxes.shown) n += b == EngineBox(kNoBroadcastText);
    return n;
  }
};

TEST(ListenMode, FirstTickOpensTheListeningSocketOnPort123) {
  ListenRig r;
  r.engine.OnTimerTick();
  ASSERT_TRUE(r.engine.State().EngineSocket);
  EXPECT_EQ(r.sockets.Last().boundPort, kNtpPort);
  EXPECT_TRUE(r.sockets.Last().sent.empty());
  r.Ticks(3);
  EXPECT_EQ(r.sockets.records.size(), 1u);  // kept, not reopened
  EXPECT_EQ(r.engine.State().BroadcastTickCount, 4u);
}

TEST(ListenMode, WarningAfterFiveTicksAtOneSecondAndAgainFiveTicksLater) {
  ListenRig r;
  r.Ticks(4);
  EXPECT_EQ(r.Warnings(), 0u);
  r.Ticks(1);
  ASSERT_EQ(r.boxes.shown.size(), 1u);
  EXPECT_EQ(r.boxes.shown[0], EngineBox(kNoBroadcastText));
  EXPECT_EQ(r.boxes.shown[0].caption, "Message from Quorvane");
  EXPECT_EQ(r.engine.State().BroadcastTickCount, 0u);
  r.Ticks(4);
  EXPECT_EQ(r.Warnings(), 1u);
  r.Ticks(1);
  EXPECT_EQ(r.Warnings(), 2u);
  // Neither mode nor socket changes with the warning.
  EXPECT_EQ(r.settings.Socket_Mode, kListenMode);
  EXPECT_EQ(r.sockets.records.size(), 1u);
}

TEST(ListenMode, ZeroTimeOutNeverWarns) {
  for (const auto& [count, unit] :
       {std::pair{0, "Second(s)"}, std::pair{536870912, "Second(s)"}, std::pair{0, "Hour(s)"}}) {
    ListenRig r;
    r.settings.Broadcast_Timeout = count;
    r.settings.Broadcast_Timeout_Unit = unit;
    r.settings.RecomputeBroadcastTimeout();
    ASSERT_EQ(r.settings.BroadcastTimeoutMs, 0u);  // 536870912 s wraps to 0 ms
    r.Ticks(100);
    EXPECT_EQ(r.Warnings(), 0u) << count;
  }
}

TEST(ListenMode, TimeOutBeyondThe32BitTickProductIsStillReached) {
  ListenRig r;
  r.settings.BroadcastTimeoutMs = 4294967000u;  // 49.7 days
  r.engine.OnTimerTick();
  r.engine.MutableState().BroadcastTickCount = 4294967000u / 200 - 2;
  r.engine.OnTimerTick();
  EXPECT_EQ(r.Warnings(), 0u);
  r.engine.OnTimerTick();
  EXPECT_EQ(r.Warnings(), 1u);
}

TEST(ListenMode, StartWithPort123TakenShowsBothBoxesOnceAndFallsBackInMemory) {
  struct Case {
    int code;
    const char* sentence;
    const char* cause;  // a line of the explanation only this error adds
  };
  const Case cases[] = {
      {wsa::kAddrInUse, " The specified address is already in use.", "(chronyd, ntpd)"},
      {wsa::kAccess, "Unknown socket error.", "sudo adduser $USER quorvane\n"},
      {wsa::kAddrNotAvail, " The specified address is not available from the local machine.",
       nullptr},
  };
  for (const Case& c : cases) {
    ListenRig r;
    r.sockets.bindError = c.code;
    r.Ticks(60);
    ASSERT_EQ(r.boxes.shown.size(), 2u) << c.code;
    EXPECT_EQ(r.boxes.shown[0], ApplicationBox(std::string(kBindErrorPrefix) + c.sentence));
    const std::string& explanation = r.boxes.shown[1].text;
    EXPECT_EQ(r.boxes.shown[1].kind, BoxKind::Application);
    EXPECT_TRUE(explanation.starts_with("The error you were just notified of probably stems"));
    EXPECT_EQ(explanation.find("(chronyd, ntpd)") != std::string::npos, c.code == wsa::kAddrInUse);
    EXPECT_EQ(explanation.find("build/quorvane-helper\n") != std::string::npos,
              c.code == wsa::kAccess);
    if (c.cause != nullptr) {
      EXPECT_NE(explanation.find(c.cause), std::string::npos);
    }
    EXPECT_EQ(r.settings.Socket_Mode, kPollMode);
    EXPECT_EQ(std::get<int32_t>(r.store.values["Socket_Mode"]), kListenMode);
    EXPECT_TRUE(r.store.writtenKeys.empty());
    EXPECT_GE(r.ui.modeUiUpdates, 1);
    // Poll mode goes on as usual: its first sync went out.
    EXPECT_GE(r.sockets.RequestsSent(), 1u);
  }
}

TEST(ListenMode, SocketThatCannotBeMadeFallsBackWithItsOwnBox) {
  ListenRig r;
  r.sockets.failCreate = true;
  r.engine.OnTimerTick();
  ASSERT_EQ(r.boxes.shown.size(), 1u);
  EXPECT_EQ(r.boxes.shown[0], ApplicationBox("Socket() failed."));
  EXPECT_EQ(r.settings.Socket_Mode, kPollMode);
  // Counted on the tick that fell back, as every listen tick is.
  EXPECT_EQ(r.engine.State().BroadcastTickCount, 1u);
}

}  // namespace
}  // namespace quorvane
