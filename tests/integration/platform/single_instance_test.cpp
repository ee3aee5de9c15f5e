#include "platform/linux/single_instance.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>

namespace quorvane {
namespace {

// A name of this test process only, so a program running on the machine is never touched.
std::string TestName(const char* tag) {
  return std::string("quorvane-test-") + tag + "-" + std::to_string(::getpid());
}

// Runs body in a forked child that reports its result as exit status.
int InChild(const std::function<int()>& body) {
  const pid_t pid = ::fork();
  if (pid == 0) ::_exit(body());
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(SingleInstanceTest, SecondClaimInTheSameProcessFindsTheFirst) {
  const std::string name = TestName("same");
  SingleInstance first(name);
  EXPECT_FALSE(first.AnotherInstanceRuns());
  SingleInstance second(name);
  EXPECT_TRUE(second.AnotherInstanceRuns());
}

TEST(SingleInstanceTest, NameIsFreeAgainOnceTheHolderIsGone) {
  const std::string name = TestName("released");
  { SingleInstance first(name); }
  SingleInstance again(name);
  EXPECT_FALSE(again.AnotherInstanceRuns());
}

TEST(SingleInstanceTest, DifferentNamesDoNotMeet) {
  SingleInstance a(TestName("a"));
  SingleInstance b(TestName("b"));
  EXPECT_FALSE(a.AnotherInstanceRuns());
  EXPECT_FALSE(b.AnotherInstanceRuns());
}

TEST(SingleInstanceTest, AnotherProcessSeesTheHolder) {
  const std::string name = TestName("cross");
  SingleInstance holder(name);
  const int seen = InChild([&] { return SingleInstance(name).AnotherInstanceRuns() ? 1 : 0; });
  EXPECT_EQ(seen, 1);
}

TEST(SingleInstanceTest, ProcessThatDiedReleasesTheName) {
  const std::string name = TestName("died");
  // The child claims the name and ends without running any destructor.
  const int claimed = InChild([&] {
    auto* leaked = new SingleInstance(name);
    return leaked->AnotherInstanceRuns() ? 1 : 0;
  });
  ASSERT_EQ(claimed, 0);
  SingleInstance after(name);
  EXPECT_FALSE(after.AnotherInstanceRuns());
}

TEST(SingleInstanceTest, ProgramStartedByTheHolderDoesNotKeepTheName) {
  const std::string name = TestName("exec");
  int hold[2];    // keeps the started program alive until the check is done
  int execed[2];  // reaches end of file once the program has been exec'd
  ASSERT_EQ(::pipe(hold), 0);
  ASSERT_EQ(::pipe2(execed, O_CLOEXEC), 0);
  const pid_t holder = ::fork();
  if (holder == 0) {
    SingleInstance claim(name);
    if (::fork() == 0) {
      ::dup2(hold[0], 0);
      ::close(hold[1]);
      ::execl("/bin/sh", "sh", "-c", "read line", static_cast<char*>(nullptr));
      ::_exit(127);
    }
    ::_exit(claim.AnotherInstanceRuns() ? 1 : 0);
  }
  ::close(execed[1]);
  ::close(hold[0]);
  int status = 0;
  ::waitpid(holder, &status, 0);
  char byte = 0;
  ASSERT_EQ(::read(execed[0], &byte, 1), 0);
  ::close(execed[0]);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  SingleInstance after(name);
  EXPECT_FALSE(after.AnotherInstanceRuns());
  ::close(hold[1]);
}

}  // namespace
}  // namespace quorvane
