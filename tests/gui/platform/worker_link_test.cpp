#include "platform/qt/worker_link.h"

#include <gtest/gtest.h>

#include <QThread>
#include <atomic>
#include <chrono>
#include <thread>

#include "gui/qt_event_wait.h"

namespace quorvane {
namespace {

using namespace std::chrono_literals;
using testing::RunEventsUntil;

// Tells the test when the worker has entered a send, without waiting on a clock.
class EnteringLink : public WorkerLink {
 public:
  explicit EnteringLink(QtWorkerLink& inner) : inner_(inner) {}
  void SendWatchdogStep() override {
    ++steps;
    inner_.SendWatchdogStep();
  }
  void SendResetProgress() override {
    ++resets;
    inner_.SendResetProgress();
  }
  std::atomic<int> steps{0};
  std::atomic<int> resets{0};

 private:
  QtWorkerLink& inner_;
};

void WaitUntilEntered(const std::atomic<int>& count) {
  while (count.load() == 0) std::this_thread::yield();
}

TEST(QtWorkerLinkTest, StopReturnsWhileTheWorkerWaitsInABlockingSend) {
  QtWorkerLink link;
  EnteringLink entering(link);
  int handled = 0;
  std::atomic<bool> onUiThread{true};
  QThread* ui = QThread::currentThread();
  link.SetHandlers(
      [&] {
        ++handled;
        if (QThread::currentThread() != ui) onUiThread = false;
      },
      {});
  Watchdog watchdog(entering);
  watchdog.SetQueryPending();
  watchdog.StartWorkerOnce();
  // The worker is now blocked until this thread serves its step; no event loop runs here.
  WaitUntilEntered(entering.steps);

  EXPECT_TRUE(watchdog.Stop([&] { link.ServePending(); }, 11000ms));
  EXPECT_GE(handled, 1);
  EXPECT_TRUE(onUiThread);
}

TEST(QtWorkerLinkTest, ProgressResetIsCarriedTheSameWay) {
  QtWorkerLink link;
  EnteringLink entering(link);
  std::atomic<int> resets{0};
  link.SetHandlers({}, [&] { ++resets; });
  Watchdog watchdog(entering);
  watchdog.SetTick();
  watchdog.StartWorkerOnce();
  ASSERT_TRUE(RunEventsUntil([&] { return resets.load() >= 1; }));
  EXPECT_TRUE(watchdog.Stop([&] { link.ServePending(); }, 11000ms));
}

TEST(QtWorkerLinkTest, ServingThePendingSendsRunsNothingElse) {
  QtWorkerLink link;
  QObject other;
  bool otherRan = false;
  QMetaObject::invokeMethod(
      &other, [&] { otherRan = true; }, Qt::QueuedConnection);
  link.ServePending();
  EXPECT_FALSE(otherRan);
  ASSERT_TRUE(RunEventsUntil([&] { return otherRan; }));
}

TEST(QtWorkerLinkTest, DroppedHandlersStillReleaseTheWorker) {
  QtWorkerLink link;
  EnteringLink entering(link);
  Watchdog watchdog(entering);
  watchdog.SetQueryPending();
  watchdog.StartWorkerOnce();
  WaitUntilEntered(entering.steps);
  EXPECT_TRUE(watchdog.Stop([&] { link.ServePending(); }, 11000ms));
}

TEST(QtWorkerLinkTest, SendFromTheUserInterfaceThreadRunsAtOnce) {
  QtWorkerLink link;
  int steps = 0;
  link.SetHandlers([&] { ++steps; }, {});
  link.SendWatchdogStep();
  EXPECT_EQ(steps, 1);
}

}  // namespace
}  // namespace quorvane
