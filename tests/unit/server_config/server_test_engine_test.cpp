#include <gtest/gtest.h>

#include "support/engine_test_support.h"

// How the engine ends a server test: every ending reaches the open dialog, and a dialog
// that closes takes the test state with it.
namespace quorvane {
namespace {

using testing::EngineRig;
using testing::Reply;

TEST(ServerTestEnding, EveryFailedTestReachesTheDialog) {
  const struct {
    const char* name;
    void (*run)(EngineRig&);
  } cases[] = {
      {"invalid data",
       [](EngineRig& r) {
         r.engine.StartServerTest(1);
         r.sockets.Deliver(Reply(0, 0));  // zero timestamps
       }},
      {"socket not created",
       [](EngineRig& r) {
         r.sockets.failCreate = true;
         r.engine.StartServerTest(1);
       }},
      {"connect failed",
       [](EngineRig& r) {
         r.engine.StartServerTest(1);
         r.engine.OnConnect(10061);
       }},
      {"no reply after the retries",
       [](EngineRig& r) {
         r.engine.StartServerTest(1);
         for (int i = 0; i < 4; ++i) r.TimeOutOnce();
       }},
  };
  for (const auto& c : cases) {
    EngineRig r;
    r.settings.Notify_User = 1;
    r.engine.SetServerDialogOpen(true);
    c.run(r);
    EXPECT_EQ(r.ui.testFailed, 1) << c.name;
    EXPECT_EQ(r.ui.testSucceeded, 0) << c.name;
    EXPECT_TRUE(r.ui.statuses.empty()) << c.name;
    EXPECT_TRUE(r.boxes.shown.empty()) << c.name;
    EXPECT_EQ(r.settings.UsingServer, 1) << c.name;
    EXPECT_FALSE(r.engine.State().EngineSocket) << c.name;
  }
}

TEST(ServerTestEnding, ClosingTheDialogEndsAPendingTest) {
  EngineRig r;
  r.engine.SetServerDialogOpen(true);
  r.engine.StartServerTest(2);
  r.engine.SetServerDialogOpen(false);
  EXPECT_EQ(r.engine.State().ServerTest.ServerTestTarget, 0);
  // The attempt still running is an ordinary one now: it reports and switches servers.
  for (int i = 0; i < 4; ++i) r.TimeOutOnce();
  EXPECT_EQ(r.ui.testFailed, 0);
  EXPECT_EQ(r.ui.pane0, "SNTP Server: Response Timeout");
  EXPECT_EQ(r.settings.UsingServer, 2);
}

TEST(ServerTestEnding, ClearingFailoverSinceReplyMeansNoBothSilentBox) {
  EngineRig r;
  r.engine.StartQuery();
  for (int i = 0; i < 4; ++i) r.TimeOutOnce();
  ASSERT_TRUE(r.engine.State().FailoverSinceReply);
  r.engine.ClearFailoverSinceReply();
  r.engine.StartQuery();
  for (int i = 0; i < 4; ++i) r.TimeOutOnce();
  EXPECT_TRUE(r.boxes.shown.empty());
}

}  // namespace
}  // namespace quorvane
