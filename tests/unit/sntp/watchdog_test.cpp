#include "sntp/watchdog.h"

#include <gtest/gtest.h>

#include <deque>
#include <future>

namespace quorvane {
namespace {

// Stands in for the user-interface thread's queue: the worker's sends wait until the
// test thread runs them, as a blocking queued invocation does.
class QueuedLink : public WorkerLink {
 public:
  void SendWatchdogStep() override {
    Send([this] { ++steps; });
  }
  void SendResetProgress() override {
    Send([this] { ++resets; });
  }

  // Runs the sends queued so far on the calling thread.
  void Pump() {
    std::deque<std::packaged_task<void()>> now;
    {
      std::lock_guard lock(mutex_);
      now.swap(queue_);
    }
    for (auto& task : now) task();
  }
  // Pumps until pred holds, for at most two seconds.
  bool PumpUntil(const std::function<bool()>& pred) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (!pred()) {
      if (std::chrono::steady_clock::now() > end) return false;
      Pump();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
  }

  int steps = 0;  // touched on the test thread only
  int resets = 0;

 private:
  void Send(std::function<void()> work) {
    std::packaged_task<void()> task(std::move(work));
    auto done = task.get_future();
    {
      std::lock_guard lock(mutex_);
      queue_.push_back(std::move(task));
    }
    done.wait();
  }
  std::mutex mutex_;
  std::deque<std::packaged_task<void()>> queue_;
};

TEST(EventPairTest, FirstWinsWhenBothAreSet) {
  EventPair events;
  EXPECT_EQ(events.WaitForEither(std::chrono::milliseconds(1)), EventPair::Which::TimedOut);
  events.SetSecond();
  EXPECT_EQ(events.WaitForEither(std::chrono::milliseconds(1)), EventPair::Which::Second);
  events.SetFirst();
  EXPECT_EQ(events.WaitForEither(std::chrono::milliseconds(1)), EventPair::Which::First);
  events.ResetFirst();
  events.ResetSecond();
  EXPECT_FALSE(events.FirstIsSet() || events.SecondIsSet());
}

TEST(WatchdogTest, StepsWhileQueryPendingAndResetsAfterTick) {
  QueuedLink link;
  Watchdog watchdog(link);
  EXPECT_FALSE(watchdog.WorkerStarted());
  watchdog.SetQueryPending();
  watchdog.StartWorkerOnce();
  watchdog.StartWorkerOnce();  // started once only
  ASSERT_TRUE(link.PumpUntil([&] { return link.steps >= 2; }));
  EXPECT_EQ(link.resets, 0);
  watchdog.ResetQueryPending();
  link.Pump();
  watchdog.SetTick();
  ASSERT_TRUE(link.PumpUntil([&] { return link.resets >= 1; }));
  ASSERT_TRUE(link.PumpUntil([&] { return !watchdog.TickSet(); }));
  EXPECT_TRUE(watchdog.Stop([&] { link.Pump(); }, std::chrono::milliseconds(11000)));
}

TEST(WatchdogTest, StopServesASendTheWorkerIsBlockedIn) {
  QueuedLink link;
  Watchdog watchdog(link);
  watchdog.SetQueryPending();
  watchdog.StartWorkerOnce();
  // Let the worker block in its first send without serving it.
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  // Ending in time (not detached at the limit) proves the pump freed the worker.
  EXPECT_TRUE(watchdog.Stop([&] { link.Pump(); }, std::chrono::milliseconds(11000)));
}

TEST(WatchdogTest, StopWithoutWorkerSkipsTheWait) {
  QueuedLink link;
  Watchdog watchdog(link);
  int pumps = 0;
  EXPECT_TRUE(watchdog.Stop([&] { ++pumps; }, std::chrono::milliseconds(11000)));
  EXPECT_EQ(pumps, 0);
  watchdog.StartWorkerOnce();  // never after a stop
  EXPECT_FALSE(watchdog.WorkerStarted());
}

}  // namespace
}  // namespace quorvane
