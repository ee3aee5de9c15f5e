#include "helper/linux/helper_client.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <utility>

#include "helper/linux/helper_channel.h"
#include "platform/linux/program_path.h"

namespace quorvane {
namespace {

constexpr int kHelperConnection = 3;
constexpr int kExecFailed = 127;
// Every operation is one system call: a helper silent for this long is stuck, not busy.
constexpr timeval kAnswerTimeout{2, 0};
// How long a helper whose connection was closed gets to end by itself.
constexpr int kEndGraceMs = 1000;
// A helper's death is the end of its connection: "Connection reset by peer".
constexpr int kHelperLost = ECONNRESET;

bool HungUp(int socket) {
  pollfd entry{socket, POLLRDHUP, 0};
  return poll(&entry, 1, 0) == 1 && (entry.revents & (POLLHUP | POLLRDHUP | POLLERR)) != 0;
}

// In the forked child: only async-signal-safe calls until exec. Puts the connection on
// descriptor 3, then runs the helper; on failure reports errno through `report`.
[[noreturn]] void ExecHelper(char* const* argv, int connection, int report) {
  char* const emptyEnvironment[] = {nullptr};
  if (report == kHelperConnection) report = fcntl(report, F_DUPFD_CLOEXEC, kHelperConnection + 1);
  const bool placed = connection == kHelperConnection
                          ? fcntl(connection, F_SETFD, 0) == 0
                          : dup2(connection, kHelperConnection) == kHelperConnection;
  if (placed) execve(argv[0], argv, emptyEnvironment);
  const int error = errno;
  [[maybe_unused]] const ssize_t written = write(report, &error, sizeof error);
  _exit(kExecFailed);
}

}  // namespace

HelperClient::HelperClient(std::vector<std::string> command) : command_(std::move(command)) {}

HelperClient::~HelperClient() { Stop(); }

int HelperClient::StepClock(int64_t seconds, int64_t nanoseconds) {
  int descriptor = -1;
  return Request({HelperOp::StepClock, seconds, nanoseconds}, descriptor);
}

int HelperClient::SetClock(int64_t seconds, int64_t nanoseconds) {
  int descriptor = -1;
  return Request({HelperOp::SetClock, seconds, nanoseconds}, descriptor);
}

int HelperClient::BindNtpPort(int& descriptor) {
  return Request({HelperOp::BindNtpPort, 0, 0}, descriptor);
}

int HelperClient::Request(const HelperRequest& request, int& descriptor) {
  descriptor = -1;
  if (connection_ != -1 && HungUp(connection_)) return Replace();
  if (connection_ == -1) {
    if (const int error = Start(); error != 0) return error;
  }
  int error = SendRecord(connection_, EncodeRequest(request), -1);
  std::array<std::byte, 2 * kHelperResponseSize> buffer{};
  size_t size = 0;
  int passed = -1;
  if (error == 0) error = ReceiveRecord(connection_, buffer, size, passed);
  if (error == EAGAIN || error == EWOULDBLOCK) error = ETIMEDOUT;
  HelperResponse response;
  if (error == 0 && size <= buffer.size() &&
      DecodeResponse(std::span(buffer.data(), size), response) == 0 &&
      (response.op == request.op || response.op == HelperOp::None)) {
    const bool wanted = response.error == 0 && request.op == HelperOp::BindNtpPort;
    if (wanted) descriptor = std::exchange(passed, -1);
    if (passed != -1) close(passed);
    if (wanted && descriptor == -1) return EPROTO;
    return response.error;
  }
  if (passed != -1) close(passed);
  if (error == EPIPE) return Replace();
  // A helper that stalled or answered nonsense is not trusted with the next request.
  Stop();
  return error != 0 ? error : EPROTO;
}

int HelperClient::Replace() {
  Stop();
  // Started now, so that the request after this one finds it; a failure to start is
  // answered by that request, which tries again.
  Start();
  return kHelperLost;
}

int HelperClient::Start() {
  if (command_.empty()) return ENOENT;
  std::vector<std::string> arguments = command_;
  arguments.push_back(std::to_string(kHelperConnection));
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);

  int pair[2];
  if (socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair) != 0) return errno;
  int report[2];
  if (pipe2(report, O_CLOEXEC) != 0) {
    const int error = errno;
    close(pair[0]);
    close(pair[1]);
    return error;
  }
  const pid_t pid = fork();
  if (pid == 0) ExecHelper(argv.data(), pair[1], report[1]);
  const int forkError = pid < 0 ? errno : 0;
  close(pair[1]);
  close(report[1]);
  int execError = 0;
  ssize_t got = -1;
  do {
    got = pid > 0 ? read(report[0], &execError, sizeof execError) : 0;
  } while (got < 0 && errno == EINTR);
  close(report[0]);
  if (forkError != 0 || got == sizeof execError) {
    close(pair[0]);
    if (pid > 0) waitpid(pid, nullptr, 0);
    return forkError != 0 ? forkError : execError;
  }
  setsockopt(pair[0], SOL_SOCKET, SO_RCVTIMEO, &kAnswerTimeout, sizeof kAnswerTimeout);
  connection_ = pair[0];
  pid_ = pid;
  return 0;
}

void HelperClient::Stop() {
  if (connection_ != -1) close(std::exchange(connection_, -1));
  if (pid_ <= 0) return;
  const pid_t pid = std::exchange(pid_, -1);
  // The closed connection ends a working helper; a stuck one is ended by force.
  for (int waited = 0; waited < kEndGraceMs; ++waited) {
    if (waitpid(pid, nullptr, WNOHANG) != 0) return;
    usleep(1000);
  }
  kill(pid, SIGKILL);
  while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
  }
}

std::vector<std::string> HelperBesideExecutable() {
  const std::string directory = ProgramDirectoryOf(ExecutablePath());
  if (directory.empty()) return {};
  return {directory + "quorvane-helper"};
}

}  // namespace quorvane
