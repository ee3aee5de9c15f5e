#include "platform/linux/linux_clock.h"

#include <gtest/gtest.h>
#include <sched.h>
#include <sys/capability.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "base/app_settings.h"
#include "fakes/fake_engine_ui.h"
#include "fakes/fake_message_boxes.h"
#include "fakes/fake_socket.h"
#include "fakes/fake_worker.h"
#include "logging/sync_log.h"
#include "sntp/sntp_engine.h"
#include "sntp/watchdog.h"
#include "support/engine_test_support.h"
#include "support/settings_fixtures.h"

// The clock of this machine must never change. Every call that could set it runs in a
// forked child that first gives up CAP_SYS_TIME for good and checks that it is gone; a
// child that still holds any trace of it exits before touching the clock.

namespace quorvane {
namespace {

enum ChildExit { kBodyDone = 0, kRightStillHeld = 90, kNoUserNamespace = 91 };

enum class Confinement {
  // CAP_SYS_TIME dropped from the bounding, permitted, effective and inheritable sets.
  WithoutClockRight,
  // Additionally inside a new user namespace: every capability there, none outside, so
  // the capability bracket can really raise CAP_SYS_TIME and the kernel still refuses.
  UserNamespace,
};

bool SysTimeFlag(cap_flag_t set) {
  cap_t caps = cap_get_proc();
  if (caps == nullptr) return true;  // unknown counts as held
  cap_flag_value_t value = CAP_SET;
  cap_get_flag(caps, CAP_SYS_TIME, set, &value);
  cap_free(caps);
  return value == CAP_SET;
}

void SetSysTimeFlags(std::initializer_list<cap_flag_t> sets, cap_flag_value_t value) {
  cap_t caps = cap_get_proc();
  if (caps == nullptr) return;
  const cap_value_t sysTime[] = {CAP_SYS_TIME};
  for (const cap_flag_t set : sets) cap_set_flag(caps, set, 1, sysTime, value);
  cap_set_proc(caps);
  cap_free(caps);
}

bool ClockRightGone() {
  return prctl(PR_CAPBSET_READ, CAP_SYS_TIME, 0, 0, 0) == 0 &&
         prctl(PR_CAP_AMBIENT, PR_CAP_AMBIENT_IS_SET, CAP_SYS_TIME, 0, 0) != 1 &&
         !SysTimeFlag(CAP_EFFECTIVE) && !SysTimeFlag(CAP_PERMITTED) &&
         !SysTimeFlag(CAP_INHERITABLE);
}

std::string UserNamespaceId() {
  std::error_code error;
  return std::filesystem::read_symlink("/proc/self/ns/user", error).string();
}

// In the child: gives up the right to set the clock, or says why it could not.
int Confine(Confinement confinement, const std::string& initialNamespace) {
  prctl(PR_CAPBSET_DROP, CAP_SYS_TIME, 0, 0, 0);
  SetSysTimeFlags({CAP_EFFECTIVE, CAP_PERMITTED, CAP_INHERITABLE}, CAP_CLEAR);
  if (!ClockRightGone()) return kRightStillHeld;
  if (confinement == Confinement::UserNamespace) {
    if (unshare(CLONE_NEWUSER) != 0) return kNoUserNamespace;
    const std::string now = UserNamespaceId();
    if (now.empty() || now == initialNamespace) return kRightStillHeld;
  }
  return kBodyDone;
}

struct ChildResult {
  int exitCode = -1;
  std::string output;
};

// Runs body in a confined child process and collects what it returns.
ChildResult RunConfined(Confinement confinement, const std::function<std::string()>& body) {
  const std::string initialNamespace = UserNamespaceId();
  int fds[2];
  if (pipe(fds) != 0) return {};
  const pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    const int confined = Confine(confinement, initialNamespace);
    if (confined != kBodyDone) _exit(confined);
    const std::string output = body();
    for (size_t done = 0; done < output.size();) {
      const ssize_t n = write(fds[1], output.data() + done, output.size() - done);
      if (n <= 0) _exit(1);
      done += static_cast<size_t>(n);
    }
    _exit(kBodyDone);
  }
  close(fds[1]);
  ChildResult result;
  char buffer[512];
  for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) > 0;) result.output.append(buffer, n);
  close(fds[0]);
  int status = 0;
  if (pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status)) {
    result.exitCode = WEXITSTATUS(status);
  }
  return result;
}

ClockRecord RecordOfNow(Clock& clock) { return MakeClockRecord(clock.ReadLocalClock(), 0).record; }

std::string Outcome(const SetClockResult& result) {
  return (result.accepted ? "accepted" : "refused: ") + result.errorText;
}

TEST(LinuxClock, ReadingsAgreeWithEachOtherBelowTheMillisecond) {
  LinuxClock clock;
  const int64_t before = clock.WallSeconds();
  const NtpSeconds reading = clock.ReadLocalClock();
  const int64_t after = clock.WallSeconds();
  const auto unixSeconds = static_cast<int64_t>(std::floor(reading)) - kNtpToUnixSeconds;
  EXPECT_LE(before, unixSeconds);
  EXPECT_LE(unixSeconds, after);
  // Full resolution: of a few readings, some fall between whole milliseconds.
  int finer = 0;
  for (int i = 0; i < 20; ++i) {
    const double ms = (clock.ReadLocalClock() - std::floor(reading)) * 1000.0;
    if (std::fabs(ms - std::round(ms)) > 1e-3) ++finer;
  }
  EXPECT_GT(finer, 0);
  // A kernel stamp converts on the same scale as a reading.
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  const NtpSeconds stamped =
      clock.FromSystemTime(int64_t{now.tv_sec} * 1'000'000'000 + now.tv_nsec);
  EXPECT_NEAR(clock.ReadLocalClock() - stamped, 0.0, 0.01);
  EXPECT_GE(clock.ReadLocalClock(), stamped);
}

TEST(LinuxClock, RefusalWithoutTheRightCarriesTheSystemsText) {
  const ChildResult child = RunConfined(Confinement::WithoutClockRight, [] {
    LinuxClock clock;
    ClockRecord beforeEpoch{1969, 12, 3, 31, 23, 59, 59, 500};
    std::ostringstream out;
    out << "enable " << clock.EnableClockPrivilege() << '\n';
    out << "now " << Outcome(clock.ApplyCorrection(RecordOfNow(clock), 0.0)) << '\n';
    out << "invalid " << Outcome(clock.ApplyCorrection(ClockRecord{}, 0.0)) << '\n';
    out << "before 1970 " << Outcome(clock.ApplyCorrection(beforeEpoch, 0.0)) << '\n';
    clock.RestoreClockPrivilege();
    return out.str();
  });
  ASSERT_EQ(child.exitCode, kBodyDone);
  EXPECT_EQ(child.output, std::string("enable 0\n") + "now refused: " + std::strerror(EPERM) +
                              "\n" + "invalid refused: " + std::strerror(EINVAL) + "\n" +
                              "before 1970 refused: " + std::strerror(EINVAL) + "\n");
}

TEST(LinuxClock, BracketRaisesTheRightOnlyForTheCallAndRestoresWhatItFound) {
  const ChildResult child = RunConfined(Confinement::UserNamespace, [] {
    LinuxClock clock;
    std::ostringstream out;
    for (const bool effectiveAtStart : {false, true}) {
      SetSysTimeFlags({CAP_EFFECTIVE}, effectiveAtStart ? CAP_SET : CAP_CLEAR);
      out << "start " << SysTimeFlag(CAP_EFFECTIVE);
      out << " enable " << clock.EnableClockPrivilege() << " raised " << SysTimeFlag(CAP_EFFECTIVE);
      out << " set " << Outcome(clock.ApplyCorrection(RecordOfNow(clock), 0.0));
      clock.RestoreClockPrivilege();
      out << " restored " << SysTimeFlag(CAP_EFFECTIVE) << '\n';
    }
    return out.str();
  });
  if (child.exitCode == kNoUserNamespace) GTEST_SKIP() << "user namespaces are not available";
  ASSERT_EQ(child.exitCode, kBodyDone);
  const std::string refused = std::string(" set refused: ") + std::strerror(EPERM);
  EXPECT_EQ(child.output, "start 0 enable 1 raised 1" + refused + " restored 0\n" +
                              "start 1 enable 1 raised 1" + refused + " restored 1\n");
}

TEST(LinuxClock, RefusedSyncShowsTheBoxAndLogsAFailure) {
  char pattern[] = "/tmp/quorvane_clock_XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::filesystem::path dir = pattern;
  const std::string logPath = (dir / "Quorvane.txt").string();

  const ChildResult child = RunConfined(Confinement::WithoutClockRight, [&] {
    AppSettings settings = testing::PollModeSettings("primary.test", "secondary.test");
    settings.LogFilePath = logPath;
    testing::FakeEngineUi ui;
    testing::FakeMessageBoxes boxes;
    BoxGate gate(boxes);
    testing::FakeSocketFactory sockets;
    LinuxClock clock;
    SyncLog log(settings, clock, gate);
    testing::CountingWorkerLink link;
    Watchdog watchdog(link);
    std::ostringstream out;
    {
      SntpEngine engine(EnginePorts{settings, ui, gate, sockets, clock, log, watchdog});
      engine.StartSync();
      sockets.Deliver(testing::Reply(engine.State().T1, clock.ReadLocalClock()));
      for (const BoxRequest& box : boxes.shown) {
        out << "box " << (box.kind == BoxKind::Unowned) << " [" << box.caption << "] [" << box.text
            << "] icon " << static_cast<int>(box.icon) << '\n';
      }
      out << "pane [" << ui.pane0 << "]\n";
    }
    watchdog.Stop([] {}, std::chrono::milliseconds(2000));
    return out.str();
  });

  ASSERT_EQ(child.exitCode, kBodyDone);
  EXPECT_EQ(child.output, std::string("box 1 [Failed to Set System Clock] [") +
                              std::strerror(EPERM) + "] icon " +
                              std::to_string(static_cast<int>(BoxIcon::None)) + "\npane []\n");
  std::ifstream file(logPath, std::ios::binary);
  std::string content((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  EXPECT_TRUE(content.ends_with(",F\r\n")) << content;
  EXPECT_EQ(std::count(content.begin(), content.end(), '\n'), 1);
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace quorvane
