#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "helper/helper_protocol.h"
#include "helper/linux/helper_client.h"
#include "helper/linux/helper_clock.h"
#include "platform/linux/capability_drop.h"
#include "sntp/sntp_packet.h"
#include "support/temp_dir.h"

// The real helper program, started by the client. The clock of this machine must never
// change, so the helper only ever runs with CAP_SYS_TIME gone from the bounding set of the
// process that starts it (setpriv), inside a new user namespace (unshare): there it may
// raise every capability, and the kernel still refuses to set the clock.

namespace quorvane {
namespace {

std::vector<std::string> ConfinedHelper(bool ownNetwork) {
  std::vector<std::string> command = {"/usr/bin/setpriv", "--bounding-set", "-sys_time",      "--",
                                      "/usr/bin/unshare", "--user",         "--map-root-user"};
  if (ownNetwork) command.push_back("--net");
  command.push_back(QUORVANE_HELPER);
  return command;
}

std::string Text(int error) { return error == 0 ? "done" : std::strerror(error); }

int64_t Now() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  return now.tv_sec;
}

uint16_t LocalPort(int socket) {
  sockaddr_in address{};
  socklen_t length = sizeof address;
  if (getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length) != 0) return 0;
  return ntohs(address.sin_port);
}

TEST(HelperProcess, TheKernelsRefusalToSetTheClockArrivesWithItsText) {
  HelperClient client(ConfinedHelper(false));
  EXPECT_EQ(Text(client.StepClock(0, 0)), std::strerror(EPERM));
  EXPECT_EQ(Text(client.StepClock(-1, 500'000'000)), std::strerror(EPERM));
  EXPECT_EQ(Text(client.SetClock(Now(), 0)), std::strerror(EPERM));
  // A request out of range is refused by the helper before it reaches the kernel.
  EXPECT_EQ(Text(client.SetClock(-5, 0)), std::strerror(EINVAL));
}

TEST(HelperProcess, TheClockPortReportsTheRefusalThroughTheHelper) {
  HelperClient client(ConfinedHelper(false));
  HelperClock clock(client);
  const ClockRecord now = MakeClockRecord(clock.ReadLocalClock(), 0).record;
  ASSERT_TRUE(clock.EnableClockPrivilege());
  const SetClockResult result = clock.ApplyCorrection(now, 0.0);
  clock.RestoreClockPrivilege();
  EXPECT_FALSE(result.accepted);
  EXPECT_EQ(result.errorText, std::strerror(EPERM));
  EXPECT_GT(client.HelperProcess(), 0);
}

TEST(HelperProcess, Port123IsBoundWhereTheHelperHasTheRight) {
  const struct {
    const char* name;
    bool ownNetwork;  // the user namespace then owns the network, and may bind port 123
    int error;
  } cases[] = {{"the machine's network", false, EACCES}, {"its own network", true, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    HelperClient client(ConfinedHelper(c.ownNetwork));
    int descriptor = -1;
    EXPECT_EQ(Text(client.BindNtpPort(descriptor)), Text(c.error));
    EXPECT_EQ(descriptor == -1, c.error != 0);
    if (descriptor != -1) {
      EXPECT_EQ(LocalPort(descriptor), 123);
      close(descriptor);
    }
  }
}

// Waits until `pid` is gone, leaving it for the client to reap.
void AwaitDeath(pid_t pid) {
  siginfo_t info{};
  ASSERT_EQ(waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT), 0);
}

TEST(HelperProcess, AHelperThatDiedIsReportedAndReplacedAtOnce) {
  HelperClient client(ConfinedHelper(false));
  ASSERT_EQ(client.StepClock(0, 0), EPERM);
  const pid_t first = client.HelperProcess();
  ASSERT_GT(first, 0);
  ASSERT_EQ(kill(first, SIGKILL), 0);
  AwaitDeath(first);
  // The correction that finds it dead reports it, and its successor already runs.
  EXPECT_EQ(Text(client.StepClock(0, 0)), std::strerror(ECONNRESET));
  const pid_t second = client.HelperProcess();
  EXPECT_GT(second, 0);
  EXPECT_NE(second, first);
  EXPECT_EQ(Text(client.StepClock(0, 0)), std::strerror(EPERM));
  EXPECT_EQ(client.HelperProcess(), second);
}

TEST(HelperProcess, AHelperThatDiesWhileAnsweringIsReportedAndReplaced) {
  // Reads the one request record, then ends without an answer.
  HelperClient client({"/bin/sh", "-c", "exec dd bs=64 count=1 <&3 >/dev/null 2>&1"});
  EXPECT_EQ(Text(client.StepClock(0, 0)), std::strerror(ECONNRESET));
  EXPECT_GT(client.HelperProcess(), 0);
}

// The capability lines of /proc/self/status ("CapEff" -> "0000000000000000").
std::map<std::string, std::string> OwnCapabilities() {
  std::map<std::string, std::string> sets;
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    const size_t colon = line.find(':');
    if (line.starts_with("Cap") && colon != std::string::npos) {
      sets[line.substr(0, colon)] = line.substr(line.find_first_not_of(" \t", colon + 1));
    }
  }
  return sets;
}

// What the window program does first: after it, it holds nothing, and its helper, whose
// rights come from its own file at exec, still starts and answers. The exit code names
// the first check that failed.
int DropThenStartTheHelper() {
  if (DropAllCapabilities() != 0) return 10;
  std::map<std::string, std::string> sets = OwnCapabilities();
  const std::string none(16, '0');
  for (const char* set : {"CapPrm", "CapEff", "CapInh", "CapAmb"}) {
    if (sets[set] != none) return 11;
  }
  if (sets["CapBnd"] == none) return 12;
  HelperClient client(ConfinedHelper(false));
  return client.StepClock(0, 0) == EPERM && client.HelperProcess() > 0 ? 0 : 13;
}

TEST(HelperProcess, AProgramThatGaveUpEveryCapabilityStillStartsItsHelper) {
  const pid_t child = fork();
  if (child == 0) _exit(DropThenStartTheHelper());
  int status = -1;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_EQ(status, 0) << "10 refused, 11 a capability left, 12 no bounding set, 13 no helper";
}

// True once `pid` has ended: gone, or a zombie nobody reaps.
bool Ended(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string field;
  for (int i = 0; i < 3 && stat >> field; ++i) {
  }
  return !stat || field == "Z";
}

TEST(HelperProcess, AHelperThatNeverAnswersIsEndedAndTheRequestTimesOut) {
  // Not a helper at all: it keeps the connection open and says nothing.
  HelperClient client({"/bin/sleep", "30"});
  EXPECT_EQ(Text(client.StepClock(0, 0)), std::strerror(ETIMEDOUT));
  EXPECT_EQ(client.HelperProcess(), -1);
}

TEST(HelperProcess, TheHelperEndsWhenTheWindowProgramIsKilled) {
  int report[2];
  ASSERT_EQ(pipe(report), 0);
  const pid_t program = fork();
  if (program == 0) {
    // Leaves without any clean-up, as a killed program would.
    HelperClient client(ConfinedHelper(false));
    const pid_t helper = client.StepClock(0, 0) == EPERM ? client.HelperProcess() : -1;
    [[maybe_unused]] const ssize_t written = write(report[1], &helper, sizeof helper);
    _exit(0);
  }
  close(report[1]);
  pid_t helper = -1;
  ASSERT_EQ(read(report[0], &helper, sizeof helper), static_cast<ssize_t>(sizeof helper));
  close(report[0]);
  waitpid(program, nullptr, 0);
  ASSERT_GT(helper, 0);
  for (int waited = 0; waited < 5000 && !Ended(helper); ++waited) usleep(1000);
  EXPECT_TRUE(Ended(helper));
}

TEST(HelperProcess, TheHelperEndsWithItsClient) {
  pid_t helper = -1;
  {
    HelperClient client(ConfinedHelper(false));
    ASSERT_EQ(client.StepClock(0, 0), EPERM);
    helper = client.HelperProcess();
  }
  // Reaped by the client's end: the process is gone, not a zombie.
  EXPECT_EQ(kill(helper, 0), -1);
  EXPECT_EQ(errno, ESRCH);
}

TEST(HelperProcess, AHelperThatCannotStartAnswersEveryCallWithTheReason) {
  testing::TempDir dir;
  const std::filesystem::path folder = dir.path();
  const std::filesystem::path notExecutable = folder / "quorvane-helper";
  std::ofstream(notExecutable) << "#!/bin/sh\n";
  chmod(notExecutable.c_str(), 0644);
  const struct {
    const char* name;
    std::string path;
    int error;
  } cases[] = {{"missing", (folder / "absent").string(), ENOENT},
               {"not executable", notExecutable.string(), EACCES},
               {"a directory", folder.string(), EACCES}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    HelperClient client({c.path});
    int descriptor = 0;
    EXPECT_EQ(Text(client.StepClock(0, 0)), Text(c.error));
    EXPECT_EQ(Text(client.SetClock(Now(), 0)), Text(c.error));
    EXPECT_EQ(Text(client.BindNtpPort(descriptor)), Text(c.error));
    EXPECT_EQ(descriptor, -1);
    EXPECT_EQ(client.HelperProcess(), -1);
  }
}

// Random, cut and damaged records sent straight to the confined helper: each one is answered
// with a refusal, and the helper serves on until its peer goes. Even a record that happens to
// be a well-formed request only meets the kernel's refusal here.
TEST(HelperProcess, DamagedRecordsAreRefusedAndTheHelperServesOn) {
  std::vector<std::string> command = ConfinedHelper(false);
  command.push_back("3");
  std::vector<char*> argv;
  for (std::string& part : command) argv.push_back(part.data());
  argv.push_back(nullptr);
  int pair[2];
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair), 0);
  const pid_t helper = fork();
  if (helper == 0) {
    if (dup2(pair[1], 3) == 3) execv(argv[0], argv.data());
    _exit(127);
  }
  close(pair[1]);
  const timeval timeout{2, 0};
  setsockopt(pair[0], SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  const uint64_t seed = std::random_device{}();
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937_64 random(seed);
  for (int round = 0; round < 2000; ++round) {
    const auto op = static_cast<HelperOp>(1 + random() % 3);
    const HelperRequestBytes valid = EncodeRequest(
        {op, static_cast<int64_t>(random()) >> (random() % 64), static_cast<int64_t>(random())});
    std::vector<std::byte> bytes(valid.begin(), valid.end());
    if (random() % 2) bytes.resize(random() % 64, std::byte{static_cast<uint8_t>(random())});
    if (!bytes.empty()) bytes[random() % bytes.size()] ^= std::byte{static_cast<uint8_t>(random())};
    ASSERT_EQ(send(pair[0], bytes.data(), bytes.size(), 0), static_cast<ssize_t>(bytes.size()));
    HelperResponseBytes answer{};
    ASSERT_EQ(recv(pair[0], answer.data(), answer.size(), 0), ssize_t{kHelperResponseSize})
        << "round " << round;
    HelperResponse response;
    ASSERT_EQ(DecodeResponse(answer, response), 0) << "round " << round;
    ASSERT_NE(response.error, 0) << "round " << round;
  }
  close(pair[0]);
  int status = 0;
  ASSERT_EQ(waitpid(helper, &status, 0), helper);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

TEST(HelperProcess, ItServesOnlyASocketPairItWasGiven) {
  const struct {
    const char* arguments;
    int exitCode;
  } cases[] = {{"abc", 2}, {"3 4", 2}, {"99", 2}, {"1234567", 2}, {"0 < /dev/null", 2}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments);
    std::string command;
    for (const std::string& part : ConfinedHelper(false)) command += part + " ";
    const int status = std::system((command + c.arguments).c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), c.exitCode);
  }
}

}  // namespace
}  // namespace quorvane
