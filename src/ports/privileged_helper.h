#pragma once

#include <cstdint>
#include <functional>

namespace quorvane {

// An operation's errno, 0 on success, given on the user-interface thread.
using HelperAnswer = std::function<void(int error)>;

// The few operations that need a right the window program does not hold. Each answers with
// the errno it met, 0 on success, so the caller can show the system's own text.
class PrivilegedHelper {
 public:
  virtual ~PrivilegedHelper() = default;
  // Moves the real-time clock by seconds + nanoseconds in one step; nanoseconds in
  // [0, 1e9), so a negative offset is a negative second count plus a positive fraction.
  virtual int StepClock(int64_t seconds, int64_t nanoseconds) = 0;
  // StepClock without waiting: `answer` receives the errno exactly once, within this call
  // (operations made in this process, as the default does) or later from the user-interface
  // thread's event loop. Operations destroyed first never call it.
  virtual void StartStepClock(int64_t seconds, int64_t nanoseconds, HelperAnswer answer) {
    answer(StepClock(seconds, nanoseconds));
  }
  // Sets the real-time clock to seconds + nanoseconds since 1970-01-01 UTC.
  virtual int SetClock(int64_t seconds, int64_t nanoseconds) = 0;
  // A UDP socket bound to port 123 on every local address. On success `descriptor` holds it
  // and the caller owns it; otherwise it is -1.
  virtual int BindNtpPort(int& descriptor) = 0;
};

}  // namespace quorvane
