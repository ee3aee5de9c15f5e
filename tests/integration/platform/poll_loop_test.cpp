#include "support/poll_loop.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace quorvane::testing {
namespace {

using std::chrono_literals::operator""ms;

struct Pipe {
  int read = -1;
  int write = -1;
  explicit Pipe(bool open = true) {
    if (open) Open();
  }
  Pipe(const Pipe&) = delete;
  Pipe& operator=(const Pipe&) = delete;
  void Open() {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    read = fds[0];
    write = fds[1];
  }
  ~Pipe() { CloseBoth(); }
  void CloseBoth() {
    if (read >= 0) close(read);
    if (write >= 0) close(write);
    read = write = -1;
  }
  void Signal() const { ASSERT_EQ(::write(write, "x", 1), 1); }
};

TEST(PollLoop, CallbackMayCloseItsDescriptorAndWatchOneThatReusesTheNumber) {
  PollLoop loop;
  Pipe first;
  Pipe second(false);  // opened inside the callback, after first.read is closed
  std::vector<std::string> calls;
  const int firstFd = first.read;
  loop.Watch(first.read, [&] {
    calls.push_back("first");
    loop.Unwatch(first.read);
    first.CloseBoth();
    second.Open();
    second.Signal();  // readable at once, but only the next poll may see it
    loop.Watch(second.read, [&] { calls.push_back("second"); });
  });
  first.Signal();
  loop.RunPending();
  ASSERT_EQ(second.read, firstFd) << "the new pipe did not take the freed number";
  EXPECT_EQ(calls, std::vector<std::string>{"first"});
  loop.RunPending();
  EXPECT_EQ(calls, (std::vector<std::string>{"first", "second"}));
}

TEST(PollLoop, TasksPostedDuringDispatchRunAfterItInOrder) {
  PollLoop loop;
  Pipe a;
  std::vector<std::string> calls;
  loop.Post([&] { calls.push_back("posted before"); });
  loop.Watch(a.read, [&] {
    char c;
    ASSERT_EQ(read(a.read, &c, 1), 1);
    loop.Post([&] { calls.push_back("posted in callback"); });
    calls.push_back("callback");
  });
  a.Signal();
  loop.RunPending();
  EXPECT_EQ(calls, (std::vector<std::string>{"callback", "posted before", "posted in callback"}));
}

TEST(PollLoop, TaskThatPostsItselfRunsOncePerPass) {
  PollLoop loop;
  int runs = 0;
  std::function<void()> again = [&] {
    ++runs;
    loop.Post(again);
  };
  loop.Post(again);
  loop.RunPending();
  loop.RunPending();
  EXPECT_EQ(runs, 2);
}

TEST(PollLoop, PostFromAnotherThreadWakesAWaitingLoop) {
  PollLoop loop;
  bool done = false;
  std::thread poster([&] { loop.Post([&] { done = true; }); });
  EXPECT_TRUE(loop.RunUntil([&] { return done; }, 10000ms));
  poster.join();
}

TEST(PollLoop, RunUntilGivesUpAtTheLimit) {
  PollLoop loop;
  EXPECT_FALSE(loop.RunUntil([] { return false; }, 1ms));
}

}  // namespace
}  // namespace quorvane::testing
