#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "helper/helper_protocol.h"
#include "ports/fd_watcher.h"
#include "ports/privileged_helper.h"

namespace quorvane {

// The window program's end of the privileged helper. The helper is started on the first
// request, over a SOCK_SEQPACKET socket pair whose other end it receives as descriptor 3,
// with an empty environment. A request that finds the helper dead (killed, or ended since)
// starts a new one and is sent to it, once; a helper that dies after taking a request makes
// that request answer ECONNRESET (it may have been carried out), and a new helper is started
// for the next. One that cannot be started makes each request answer with the system's
// reason (ENOENT when it is missing, EACCES when the user may not run it, ...). A helper
// silent for two seconds is ended and the request answers ETIMEDOUT; the next request
// starts a new one. Not thread-safe: one caller, the user-interface thread.
class HelperClient : public PrivilegedHelper {
 public:
  // `command` is the helper's full path, or a launcher and its arguments followed by it;
  // the descriptor number is appended as the last argument. With a `watcher`, a step the
  // caller does not wait for is answered through it; without one, StartStepClock waits.
  explicit HelperClient(std::vector<std::string> command, FdWatcher* watcher = nullptr);
  // Closes the connection, which ends the helper, and waits for it; a helper still holding
  // a step is killed at once, and that step is never answered.
  ~HelperClient() override;
  HelperClient(const HelperClient&) = delete;
  HelperClient& operator=(const HelperClient&) = delete;

  // Each waits for its answer, two seconds at most; a step not yet answered is answered
  // first (its answer posted through the watcher), within the same two seconds.
  int StepClock(int64_t seconds, int64_t nanoseconds) override;
  int SetClock(int64_t seconds, int64_t nanoseconds) override;
  int BindNtpPort(int& descriptor) override;
  // One step at a time: a second one asked for before the first is answered is refused
  // with EBUSY at once.
  void StartStepClock(int64_t seconds, int64_t nanoseconds, HelperAnswer answer) override;

  // The running helper's process id, or -1 when none runs.
  pid_t HelperProcess() const { return pid_; }

 private:
  using Deadline = std::chrono::steady_clock::time_point;
  struct Unanswered {
    HelperRequest request;
    HelperAnswer answer;
    Deadline deadline;
  };

  int Request(const HelperRequest& request, int& descriptor);
  int Send(const HelperRequest& request);
  int Receive(const HelperRequest& request, Deadline deadline, int& descriptor);
  // The unanswered step: its answer has arrived (or its time is up).
  void OnStepReadable();
  void OnStepTimeOut();
  void FinishStep(int error, bool post);
  // Sets the time-out's timer to ring at `deadline`; false when there is none.
  bool ArmTimer(Deadline deadline);
  void UnwatchStep();
  int Start();
  // Ends the helper: `patient` gives a working one time to end by itself once its
  // connection is closed; otherwise it is killed at once (it is stuck, or not trusted).
  void Stop(bool patient);

  std::vector<std::string> command_;
  FdWatcher* watcher_;
  int connection_ = -1;
  pid_t pid_ = -1;
  std::optional<Unanswered> step_;  // the step the helper has been sent and not answered
  int timer_ = -1;                  // timerfd of its time-out, while watched
  int watched_ = -1;                // the connection while watched for its answer
};

// The helper's command when it sits beside the running executable.
std::vector<std::string> HelperBesideExecutable();

}  // namespace quorvane
