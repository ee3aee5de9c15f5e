#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <random>

#include "support/engine_test_support.h"

namespace quorvane {
namespace {

using testing::EngineRig;
using testing::Reply;

constexpr NtpSeconds X = 3454321000.0;
constexpr const char* kTooBig =
    "Sync Error: Timestamp differential exceeds Maximum Correction Limit";
constexpr const char* kInvalidData = "Reset: Invalid Data returned by SNTP Server";

// The worked example: T1 = X + 0.125, T2 = X + 0.875, T3 = X + 0.9375, T4 = X + 0.25.
void RunWorkedExample(EngineRig& r, const std::function<void()>& start) {
  r.clock.SetNtp(X + 0.125);
  start();
  r.clock.SetNtp(X + 0.25);
  r.sockets.Deliver(Reply(X + 0.875, X + 0.9375));
}
void RunWorkedExample(EngineRig& r, bool sync) {
  RunWorkedExample(r, [&] { sync ? r.engine.StartSync() : r.engine.StartQuery(); });
}

TEST(ResponseTest, QueryShowsServerTimeAndDeltaAndLeavesClock) {
  EngineRig r;
  RunWorkedExample(r, false);
  EXPECT_EQ(r.ui.pane0, "Server Timestamp: 13:36:40 June 18, 2009... Delta: 0.719 seconds");
  EXPECT_TRUE(r.clock.setRecords.empty());
  EXPECT_TRUE(r.log.entries.empty());
  EXPECT_EQ(r.ui.correctionTooBigPosts, 0);
  EXPECT_FALSE(r.engine.State().EngineSocket);
  EXPECT_TRUE(r.ui.queryEnabled && r.ui.syncEnabled);
  EXPECT_FALSE(r.watchdog.QueryPending());
}

TEST(ResponseTest, QueryOfAServerTimeBefore1970ShowsOnlyTheDelta) {
  EngineRig r;
  r.clock.SetNtp(X);
  r.engine.StartQuery();
  // 1969-12-31 23:58:20.5 UTC: era 0 with its top bit set, so U is negative.
  r.sockets.Deliver(Reply(2208988700.5, 2208988700.5));
  EXPECT_EQ(r.ui.pane0, "Delta: -1245332299.500 seconds");
}

TEST(ResponseTest, SyncSetsClockShowsCorrectionAndLogs) {
  EngineRig r;
  RunWorkedExample(r, true);
  ASSERT_EQ(r.clock.setRecords.size(), 1u);
  const ClockRecord expected{2009, 6, 4, 18, 13, 36, 40, 968};
  EXPECT_EQ(r.clock.setRecords[0], expected);
  EXPECT_EQ(r.ui.pane0, "Sync @ 13:36:40... System Clock Corrected by: 0.719 seconds");
  ASSERT_EQ(r.log.entries.size(), 1u);
  EXPECT_EQ(r.log.entries[0].correction, 0.71875);
  EXPECT_EQ(r.log.entries[0].status, 'S');
  EXPECT_FALSE(r.engine.State().SyncRequested);
  EXPECT_EQ(r.clock.privilegeRaised, 1);
  EXPECT_EQ(r.clock.privilegeRestored, 1);
}

TEST(ResponseTest, NegativeQuarterSecondCorrection) {
  EngineRig r;
  r.clock.SetNtp(X + 0.5);
  r.engine.StartSync();
  r.AnswerWithOffset(-0.25);
  EXPECT_EQ(r.ui.pane0, "Sync @ 13:36:40... System Clock Corrected by: -0.250 seconds");
  EXPECT_EQ(r.clock.nowUnixMs, int64_t{1245332200} * 1000 + 250);
}

TEST(ResponseTest, CorrectionLimitIsInclusive) {
  struct Case {
    double offset;
    bool applied;
  };
  for (const Case& c :
       {Case{2.0, true}, Case{-2.0, true}, Case{2.001, false}, Case{-2.001, false}}) {
    EngineRig r;
    r.settings.MaxCorrectionSeconds = 2.0;
    r.clock.SetNtp(X);
    r.engine.StartSync();
    r.AnswerWithOffset(c.offset);
    EXPECT_EQ(r.clock.setRecords.size(), c.applied ? 1u : 0u) << c.offset;
    EXPECT_EQ(r.log.entries.size(), c.applied ? 1u : 0u) << c.offset;
    if (!c.applied) {
      EXPECT_EQ(r.ui.pane0, kTooBig);
      EXPECT_FALSE(r.engine.State().SyncRequested);
      EXPECT_FALSE(r.engine.State().EngineSocket);
    }
  }
}

TEST(ResponseTest, TooBigCorrectionKeepsFailoverFlagAndStillClosesCommandLineRun) {
  EngineRig r;
  r.settings.MaxCorrectionSeconds = 1.0;
  r.engine.FailOver(FailOverReason::NoResponse);  // no reply since
  r.engine.StartCommandLineSync();
  r.AnswerWithOffset(5.0);
  EXPECT_TRUE(r.engine.State().FailoverSinceReply);
  EXPECT_EQ(r.ui.closePosts, 1);
}

TEST(ResponseTest, QueryAboveLimitShowsStatusThenPostsNotice) {
  EngineRig r;
  r.settings.MaxCorrectionSeconds = 0.5;
  RunWorkedExample(r, false);
  EXPECT_EQ(r.ui.pane0, "Server Timestamp: 13:36:40 June 18, 2009... Delta: 0.719 seconds");
  EXPECT_EQ(r.ui.correctionTooBigPosts, 1);
  EXPECT_TRUE(r.clock.setRecords.empty());
}

TEST(ResponseTest, RefusedClockShowsSystemTextLogsFailureAndClearsPane) {
  EngineRig r;
  r.clock.refuse = true;
  RunWorkedExample(r, true);
  ASSERT_EQ(r.boxes.shown.size(), 1u);
  EXPECT_EQ(r.boxes.shown[0].kind, BoxKind::Unowned);
  EXPECT_EQ(r.boxes.shown[0].caption, "Failed to Set System Clock");
  EXPECT_EQ(r.boxes.shown[0].text, "Operation not permitted");
  EXPECT_EQ(r.boxes.shown[0].icon, BoxIcon::None);
  EXPECT_EQ(r.ui.pane0, "");
  ASSERT_EQ(r.log.entries.size(), 1u);
  EXPECT_EQ(r.log.entries[0].status, 'F');
  EXPECT_EQ(r.clock.privilegeRestored, 1);
}

TEST(ResponseTest, NothingIsLoggedWhenLoggingIsOff) {
  for (bool refuse : {false, true}) {
    EngineRig r;
    r.settings.LogToFile = 0;
    r.clock.refuse = refuse;
    RunWorkedExample(r, true);
    EXPECT_TRUE(r.log.entries.empty());
  }
}

TEST(ResponseTest, ZeroTimestampsAreInvalidData) {
  EngineRig r;
  r.engine.StartSync();
  r.sockets.Deliver(std::vector<uint8_t>(48, 0));
  EXPECT_EQ(r.ui.pane0, kInvalidData);
  EXPECT_FALSE(r.engine.State().EngineSocket);
  EXPECT_TRUE(r.engine.State().SyncRequested);
  EXPECT_TRUE(r.clock.setRecords.empty());
}

TEST(ResponseTest, ShortOrLongAnswersEndTheAttemptAndOthersLeaveItWaiting) {
  for (size_t length = 32; length < 48; ++length) {
    EngineRig r;
    r.engine.StartSync();
    std::vector<uint8_t> reply = Reply(X + 1, X + 1);
    reply.resize(length);
    r.sockets.Deliver(reply);
    EXPECT_EQ(r.ui.pane0, kInvalidData) << length;
    EXPECT_TRUE(r.clock.setRecords.empty()) << length;
  }
  EngineRig r;
  r.engine.SetServerDialogOpen(true);
  r.engine.StartServerTest(1);
  std::vector<uint8_t> reply = Reply(X + 1, X + 1);
  reply.push_back(0);
  r.sockets.Deliver(reply);
  EXPECT_EQ(r.ui.testFailed, 1);
  EXPECT_FALSE(r.engine.State().EngineSocket);
  // A forged datagram (its originate is not our request's) is dropped without a word, and
  // the true answer after it still sets the clock.
  EngineRig forged;
  forged.engine.StartSync();
  const std::string before = forged.ui.pane0;
  std::vector<uint8_t> fake = Reply(X + 1800, X + 1800);
  fake[24] = 0x5A;
  forged.sockets.Deliver(fake);
  forged.sockets.Deliver(std::vector<uint8_t>(49, 1));
  forged.sockets.Deliver(std::vector<uint8_t>(20, 0));
  EXPECT_EQ(forged.ui.pane0, before);
  EXPECT_TRUE(forged.engine.State().EngineSocket);
  EXPECT_TRUE(forged.clock.setRecords.empty());
  forged.AnswerWithOffset(0.25);
  EXPECT_EQ(forged.clock.setRecords.size(), 1u);
}

TEST(ResponseTest, ServerTestReplyWhileSyncPendingSetsTheClock) {
  EngineRig r;
  r.engine.StartSync();  // never answered
  r.engine.SetServerDialogOpen(true);
  RunWorkedExample(r, [&] { r.engine.StartServerTest(1); });
  EXPECT_EQ(r.ui.testSucceeded, 1);
  EXPECT_EQ(r.clock.setRecords.size(), 1u);
}

TEST(ResponseTest, ListenModeCorrectsFromTransmitStampAndKeepsSocket) {
  EngineRig r;
  r.settings.Socket_Mode = kListenMode;
  r.engine.MutableState().BroadcastTickCount = 40;
  r.engine.MutableState().EngineSocket = r.sockets.NewSocket(r.engine);
  r.clock.SetNtp(X + 0.25);
  r.sockets.Deliver(Reply(0, X + 0.9375));
  EXPECT_EQ(r.engine.State().BroadcastTickCount, 0u);
  ASSERT_EQ(r.log.entries.size(), 1u);
  EXPECT_EQ(r.log.entries[0].correction, 0.6875);
  EXPECT_TRUE(r.engine.State().EngineSocket);
  // A broadcast above the limit closes the listening socket.
  r.settings.MaxCorrectionSeconds = 0.1;
  r.clock.SetNtp(X);
  r.sockets.Deliver(Reply(0, X + 5));
  EXPECT_EQ(r.ui.pane0, kTooBig);
  EXPECT_FALSE(r.engine.State().EngineSocket);
}

TEST(ResponseTest, ReplyVerdictByModeLengthNonceAndStamps) {
  const RequestNonce nonce = {1, 2, 3, 4, 5, 6, 7, 8};
  struct Case {
    int mode;
    int length;  // -1: the read failed with `error`
    int error;
    bool echoesNonce;
    NtpSeconds stamps;
    ReplyVerdict verdict;
  };
  for (const Case& c : {
           // Poll mode: only the answer to our request counts, whatever its length.
           Case{kPollMode, 48, 0, true, X + 1, ReplyVerdict::Usable},
           Case{kPollMode, 48, 0, false, X + 1, ReplyVerdict::Ignored},
           Case{kPollMode, 49, 0, false, X + 1, ReplyVerdict::Ignored},
           Case{kPollMode, 31, 0, true, X + 1, ReplyVerdict::Ignored},  // no room for the nonce
           Case{kPollMode, 32, 0, true, X + 1, ReplyVerdict::InvalidData},
           Case{kPollMode, 47, 0, true, X + 1, ReplyVerdict::InvalidData},
           Case{kPollMode, 48, 0, true, 0, ReplyVerdict::InvalidData},
           Case{kPollMode, 49, 0, true, X + 1, ReplyVerdict::ReceiveError},
           Case{kPollMode, -1, 10054, false, X, ReplyVerdict::ReceiveError},
           Case{kPollMode, -1, 10040, false, X, ReplyVerdict::Ignored},
           // Listen mode: no nonce; a plain or an authenticated broadcast, nothing else.
           Case{kListenMode, 48, 0, false, X + 1, ReplyVerdict::Usable},
           Case{kListenMode, 49, 0, false, X + 1, ReplyVerdict::Ignored},
           Case{kListenMode, 68, 0, false, X + 1, ReplyVerdict::Usable},
           Case{kListenMode, 72, 0, false, X + 1, ReplyVerdict::Usable},
           Case{kListenMode, 70, 0, false, X + 1, ReplyVerdict::Ignored},
           Case{kListenMode, -1, 10040, false, X, ReplyVerdict::Ignored},
           Case{kListenMode, -1, 10054, false, X, ReplyVerdict::ReceiveError},
       }) {
    std::vector<uint8_t> bytes = Reply(c.stamps, c.stamps);
    bytes.resize(100, 0xEE);
    if (c.echoesNonce) std::copy(nonce.begin(), nonce.end(), bytes.begin() + 24);
    const ReceivedDatagram datagram{bytes, c.length, c.error};
    DecodedReply decoded;
    EXPECT_EQ(JudgeReply(datagram, c.mode, {nonce, X}, X, decoded), c.verdict)
        << "mode " << c.mode << ", length " << c.length;
    if (c.verdict == ReplyVerdict::Usable && c.mode == kPollMode) {
      EXPECT_EQ(decoded.offset, 1.0);
    }
  }
}

// Whatever arrives, the handler ends in a defined state; the sanitizer builds catch any
// read of undefined bytes or overflow on the way.
TEST(ResponseTest, ArbitraryDatagramsNeverBreakTheEngine) {
  const auto seed = static_cast<uint32_t>(std::random_device{}());
  std::mt19937 random(seed);
  SCOPED_TRACE("seed " + std::to_string(seed));
  EngineRig r;
  r.settings.MaxCorrectionSeconds = 1e12;
  for (int i = 0; i < 3000; ++i) {
    r.settings.Socket_Mode = i % 3 == 0 ? kListenMode : kPollMode;
    if (!r.engine.State().EngineSocket) r.engine.StartQuery();
    r.engine.MutableState().SyncRequested = i % 2 == 0;
    std::vector<uint8_t> datagram(random() % 80);
    for (auto& b : datagram) b = static_cast<uint8_t>(random());
    // Half of them answer the request; the rest are strangers' datagrams.
    const bool answers = i % 4 < 2 && datagram.size() >= 32;
    const RequestNonce& nonce = r.engine.State().T1Nonce;
    if (answers) std::copy(nonce.begin(), nonce.end(), datagram.begin() + 24);
    r.clock.nowUnixMs = static_cast<int64_t>(random()) * 1000;
    r.sockets.datagrams.clear();  // one that no socket was there to read is gone
    r.sockets.Deliver(datagram);
    if (r.settings.Socket_Mode == kPollMode) {
      ASSERT_EQ(!r.engine.State().EngineSocket, answers) << i;
      ASSERT_EQ(r.ui.queryEnabled && r.ui.syncEnabled, answers) << i;
    }
  }
}

}  // namespace
}  // namespace quorvane
