#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <fstream>
#include <string>
#include <vector>

#include "platform/linux/program_path.h"
#include "platform/linux/single_instance.h"

extern char** environ;

namespace quorvane {
namespace {

// Whether some process holds the program's instance name (abstract names show with '@').
bool InstanceNameHeld() {
  std::ifstream table("/proc/net/unix");
  const std::string wanted = "@" + std::string(kSingleInstanceName);
  std::string line;
  while (std::getline(table, line)) {
    if (line.size() >= wanted.size() &&
        line.compare(line.size() - wanted.size(), wanted.size(), wanted) == 0)
      return true;
  }
  return false;
}

// The real program, built beside the test directory.
std::string ProgramPath() { return ProgramDirectoryOf(ExecutablePath()) + "../Quorvane"; }

// Starts the program in a user namespace of its own (it can never set the real clock there)
// with the given configuration folder; the namespace shares the network, and with it the
// abstract socket names, with every other process.
pid_t StartProgram(const std::string& configHome) {
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string entry = *e;
    if (entry.rfind("XDG_CONFIG_HOME=", 0) != 0 && entry.rfind("QT_QPA_PLATFORM=", 0) != 0)
      env.push_back(entry);
  }
  env.push_back("XDG_CONFIG_HOME=" + configHome);
  env.push_back("QT_QPA_PLATFORM=offscreen");
  std::vector<char*> envp;
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::string program = ProgramPath();
  std::string unshare = "unshare", user = "--user", root = "--map-root-user";
  char* argv[] = {unshare.data(), user.data(), root.data(), program.data(), nullptr};
  pid_t pid = -1;
  if (::posix_spawnp(&pid, "unshare", nullptr, nullptr, argv, envp.data()) != 0) return -1;
  return pid;
}

// Waits for the process to end, at most limitMs; its wait status, or -1 while it runs.
int WaitForEnd(pid_t pid, int limitMs) {
  QDeadlineTimer deadline(limitMs);
  int status = 0;
  while (::waitpid(pid, &status, WNOHANG) == 0) {
    if (deadline.hasExpired()) return -1;
    QThread::msleep(10);
  }
  return status;
}

TEST(SingleInstanceProcessTest, SecondProgramEndsAtOnceWhileTheFirstRuns) {
  ASSERT_TRUE(QFile::exists(QString::fromStdString(ProgramPath())))
      << "build the program first: " << ProgramPath();
  if (InstanceNameHeld()) GTEST_SKIP() << "a Quorvane already runs on this machine";

  QTemporaryDir home;
  ASSERT_TRUE(QDir(home.path()).mkpath("Veltrand"));
  {
    // Loopback servers only, and a correction limit of 0 s: the program never even asks
    // for the clock to be set.
    std::ofstream conf(home.filePath("Veltrand/Quorvane.conf").toStdString());
    conf << "[Options]\nPrimary_Server=127.0.0.1\nSecondary_Server=127.0.0.1\n"
            "LogToFile=0\nNotify_User=0\nMaxCorrectionNum=0\n";
  }
  const std::string configHome = home.path().toStdString();

  const pid_t first = StartProgram(configHome);
  ASSERT_GT(first, 0);
  QDeadlineTimer up(15000);
  while (!InstanceNameHeld() && !up.hasExpired() && ::waitpid(first, nullptr, WNOHANG) == 0)
    QThread::msleep(10);
  const bool firstUp = InstanceNameHeld();

  int secondStatus = -1;
  if (firstUp) {
    const pid_t second = StartProgram(configHome);
    secondStatus = second > 0 ? WaitForEnd(second, 10000) : -1;
    if (secondStatus == -1 && second > 0) {
      ::kill(second, SIGKILL);
      ::waitpid(second, nullptr, 0);
    }
  }
  const bool firstStillRuns = ::waitpid(first, nullptr, WNOHANG) == 0;
  ::kill(first, SIGKILL);
  ::waitpid(first, nullptr, 0);

  ASSERT_TRUE(firstUp) << "the first program never claimed its instance name";
  ASSERT_NE(secondStatus, -1) << "the second program did not end";
  EXPECT_TRUE(WIFEXITED(secondStatus));
  EXPECT_EQ(WEXITSTATUS(secondStatus), 0);
  EXPECT_TRUE(firstStillRuns);
}

}  // namespace
}  // namespace quorvane
