#include "helper/linux/helper_client.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/timerfd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
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
constexpr std::chrono::seconds kAnswerTimeout{2};
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

// 0 once `socket` can be read (an answer, or the helper's end), ETIMEDOUT at `deadline`.
int WaitReadable(int socket, std::chrono::steady_clock::time_point deadline) {
  for (;;) {
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    pollfd entry{socket, POLLIN, 0};
    const int ready = poll(&entry, 1, static_cast<int>(std::max<int64_t>(0, left.count())));
    if (ready > 0) return 0;
    if (ready == 0) return ETIMEDOUT;
    if (errno != EINTR) return errno;
  }
}

}  // namespace

HelperClient::HelperClient(std::vector<std::string> command, FdWatcher* watcher)
    : command_(std::move(command)), watcher_(watcher) {}

HelperClient::~HelperClient() {
  // A helper that holds an unanswered step may be stuck: the end of the program does not
  // wait for it.
  Stop(!step_);
  if (timer_ != -1) close(timer_);
}

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
  const Deadline deadline = std::chrono::steady_clock::now() + kAnswerTimeout;
  if (step_) {
    // The helper answers in order: the step's comes first, within the step's own time-out,
    // so that both together take no longer than one.
    int unused = -1;
    const int stepError = Receive(step_->request, step_->deadline, unused);
    FinishStep(stepError, true);
    if (stepError == ETIMEDOUT) return ETIMEDOUT;
  }
  if (const int error = Send(request); error != 0) return error;
  return Receive(request, deadline, descriptor);
}

int HelperClient::Send(const HelperRequest& request) {
  const HelperRequestBytes bytes = EncodeRequest(request);
  for (bool replaced = false;; replaced = true) {
    // A helper found dead never took this request: its successor gets it.
    if (connection_ != -1 && HungUp(connection_)) Stop(true);
    if (connection_ == -1) {
      if (const int error = Start(); error != 0) return error;
    }
    const int error = SendRecord(connection_, bytes, -1);
    if (error == 0) return 0;
    Stop(error == EPIPE);
    if (error != EPIPE) return error;
    if (replaced) return kHelperLost;
  }
}

int HelperClient::Receive(const HelperRequest& request, Deadline deadline, int& descriptor) {
  descriptor = -1;
  int error = WaitReadable(connection_, deadline);
  std::array<std::byte, 2 * kHelperResponseSize> buffer{};
  size_t size = 0;
  int passed = -1;
  if (error == 0) error = ReceiveRecord(connection_, buffer, size, passed);
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
  if (error == EPIPE) {
    // It died holding the request, which it may have carried out: reported, not sent again.
    // Its successor is started now, for the next request.
    Stop(true);
    Start();
    return kHelperLost;
  }
  // A helper that stalled or answered nonsense is not trusted with the next request.
  Stop(false);
  return error != 0 ? error : EPROTO;
}

void HelperClient::StartStepClock(int64_t seconds, int64_t nanoseconds, HelperAnswer answer) {
  if (watcher_ == nullptr) {
    answer(StepClock(seconds, nanoseconds));
    return;
  }
  if (step_) {
    answer(EBUSY);
    return;
  }
  const HelperRequest request{HelperOp::StepClock, seconds, nanoseconds};
  if (const int error = Send(request); error != 0) {
    answer(error);
    return;
  }
  const Deadline deadline = std::chrono::steady_clock::now() + kAnswerTimeout;
  if (!ArmTimer(deadline)) {
    // Without a timer nothing would end the wait for a silent helper: waited for here.
    int unused = -1;
    answer(Receive(request, deadline, unused));
    return;
  }
  step_ = Unanswered{request, std::move(answer), deadline};
  watcher_->Watch(timer_, [this] { OnStepTimeOut(); });
  watched_ = connection_;
  watcher_->Watch(watched_, [this] { OnStepReadable(); });
}

bool HelperClient::ArmTimer(Deadline deadline) {
  if (timer_ == -1) timer_ = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
  const int64_t left = std::chrono::duration_cast<std::chrono::nanoseconds>(
                           deadline - std::chrono::steady_clock::now())
                           .count();
  itimerspec when{};
  when.it_value.tv_sec = std::max<int64_t>(0, left / 1'000'000'000);
  // Never zero, which would disarm it.
  when.it_value.tv_nsec = std::max<int64_t>(1, left % 1'000'000'000);
  return timer_ != -1 && timerfd_settime(timer_, 0, &when, nullptr) == 0;
}

void HelperClient::UnwatchStep() {
  if (watched_ != -1) watcher_->Unwatch(std::exchange(watched_, -1));
  if (timer_ == -1) return;
  watcher_->Unwatch(timer_);
  const itimerspec off{};
  timerfd_settime(timer_, 0, &off, nullptr);
}

void HelperClient::OnStepReadable() {
  if (!step_ || WaitReadable(connection_, std::chrono::steady_clock::now()) != 0) return;
  int unused = -1;
  FinishStep(Receive(step_->request, step_->deadline, unused), false);
}

void HelperClient::OnStepTimeOut() {
  if (!step_) return;
  uint64_t expirations = 0;
  [[maybe_unused]] const ssize_t got = read(timer_, &expirations, sizeof expirations);
  // An answer that came with the time-out still counts.
  int unused = -1;
  FinishStep(Receive(step_->request, std::chrono::steady_clock::now(), unused), false);
}

void HelperClient::FinishStep(int error, bool post) {
  UnwatchStep();
  HelperAnswer answer = std::move(step_->answer);
  step_.reset();
  // Within a request of the caller's, the answer waits for the caller's handler to return.
  if (post) {
    watcher_->Post([answer = std::move(answer), error] { answer(error); });
  } else {
    answer(error);
  }
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
  connection_ = pair[0];
  pid_ = pid;
  return 0;
}

void HelperClient::Stop(bool patient) {
  // Unwatched before it is closed, so the descriptor number can be reused.
  if (watched_ != -1 && watched_ == connection_) UnwatchStep();
  if (connection_ != -1) close(std::exchange(connection_, -1));
  if (pid_ <= 0) return;
  const pid_t pid = std::exchange(pid_, -1);
  // The closed connection ends a working helper; a stuck one is ended by force.
  for (int waited = 0; patient && waited < kEndGraceMs; ++waited) {
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
