#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "helper/helper_protocol.h"
#include "ports/privileged_helper.h"

namespace quorvane {

// The window program's end of the privileged helper. The helper is started on the first
// request, over a SOCK_SEQPACKET socket pair whose other end it receives as descriptor 3,
// with an empty environment. A helper that died since the last request (or during this one)
// makes this request answer ECONNRESET, so that the failure is reported, and a new helper
// is started at once for the next. One that cannot be started makes each request answer
// with the system's reason (ENOENT when it is missing, EACCES when the user may not run it,
// ...). A helper silent for two seconds is ended and the request answers ETIMEDOUT; the
// next request starts a new one. Not thread-safe: one caller.
class HelperClient : public PrivilegedHelper {
 public:
  // `command` is the helper's full path, or a launcher and its arguments followed by it;
  // the descriptor number is appended as the last argument.
  explicit HelperClient(std::vector<std::string> command);
  // Closes the connection, which ends the helper, and waits for it.
  ~HelperClient() override;
  HelperClient(const HelperClient&) = delete;
  HelperClient& operator=(const HelperClient&) = delete;

  int StepClock(int64_t seconds, int64_t nanoseconds) override;
  int SetClock(int64_t seconds, int64_t nanoseconds) override;
  int BindNtpPort(int& descriptor) override;

  // The running helper's process id, or -1 when none runs.
  pid_t HelperProcess() const { return pid_; }

 private:
  int Request(const HelperRequest& request, int& descriptor);
  // Ends a helper that died and starts the next; the error that reports the death.
  int Replace();
  int Start();
  void Stop();

  std::vector<std::string> command_;
  int connection_ = -1;
  pid_t pid_ = -1;
};

// The helper's command when it sits beside the running executable.
std::vector<std::string> HelperBesideExecutable();

}  // namespace quorvane
