#include "platform/qt/fd_watcher.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QThread>
#include <memory>
#include <vector>

#include "gui/qt_event_wait.h"

namespace quorvane {
namespace {

using testing::RunEventsUntil;

struct Pipe {
  Pipe() { EXPECT_EQ(::pipe(fds), 0); }
  ~Pipe() {
    CloseRead();
    if (fds[1] >= 0) ::close(fds[1]);
  }
  void CloseRead() {
    if (fds[0] >= 0) ::close(fds[0]);
    fds[0] = -1;
  }
  void Write() { EXPECT_EQ(::write(fds[1], "x", 1), 1); }
  void Drain() const {
    char byte;
    EXPECT_EQ(::read(fds[0], &byte, 1), 1);
  }
  int fds[2] = {-1, -1};
};

TEST(QtFdWatcherTest, ReadinessArrivesOnTheThreadOfTheWatcher) {
  QtFdWatcher watcher;
  Pipe pipe;
  int calls = 0;
  QThread* thread = nullptr;
  watcher.Watch(pipe.fds[0], [&] {
    ++calls;
    thread = QThread::currentThread();
    pipe.Drain();
  });
  pipe.Write();
  ASSERT_TRUE(RunEventsUntil([&] { return calls == 1; }));
  EXPECT_EQ(thread, QThread::currentThread());
}

TEST(QtFdWatcherTest, CallbackMayUnwatchAndCloseItsOwnDescriptor) {
  QtFdWatcher watcher;
  auto first = std::make_unique<Pipe>();
  const int fd = first->fds[0];
  int firstCalls = 0;
  watcher.Watch(fd, [&] {
    ++firstCalls;
    watcher.Unwatch(fd);
    first->CloseRead();
  });
  first->Write();
  ASSERT_TRUE(RunEventsUntil([&] { return firstCalls == 1; }));
  EXPECT_EQ(watcher.WatchedCount(), 0u);

  // The next descriptor takes the same number; only its own callback may hear it.
  Pipe second;
  ASSERT_EQ(second.fds[0], fd);
  int secondCalls = 0;
  watcher.Watch(second.fds[0], [&] {
    ++secondCalls;
    second.Drain();
  });
  second.Write();
  ASSERT_TRUE(RunEventsUntil([&] { return secondCalls == 1; }));
  EXPECT_EQ(firstCalls, 1);
}

TEST(QtFdWatcherTest, WatchingAgainReplacesTheCallback) {
  QtFdWatcher watcher;
  Pipe pipe;
  std::vector<int> heard;
  watcher.Watch(pipe.fds[0], [&] { heard.push_back(1); });
  watcher.Watch(pipe.fds[0], [&] {
    heard.push_back(2);
    pipe.Drain();
  });
  pipe.Write();
  ASSERT_TRUE(RunEventsUntil([&] { return !heard.empty(); }));
  EXPECT_EQ(heard, std::vector<int>{2});
  EXPECT_EQ(watcher.WatchedCount(), 1u);
}

TEST(QtFdWatcherTest, PostedTasksRunLaterInOrder) {
  QtFdWatcher watcher;
  std::vector<int> order;
  watcher.Post([&] { order.push_back(1); });
  watcher.Post([&] { order.push_back(2); });
  order.push_back(0);  // the poster's own work finishes first
  ASSERT_TRUE(RunEventsUntil([&] { return order.size() == 3; }));
  EXPECT_EQ(order, (std::vector<int>{0, 1, 2}));
}

TEST(QtFdWatcherTest, TasksOfAWatcherThatIsGoneAreDropped) {
  bool ran = false;
  bool marker = false;
  {
    QtFdWatcher watcher;
    watcher.Post([&] { ran = true; });
  }
  QtFdWatcher other;
  other.Post([&] { marker = true; });
  ASSERT_TRUE(RunEventsUntil([&] { return marker; }));
  EXPECT_FALSE(ran);
}

}  // namespace
}  // namespace quorvane
