#pragma once

#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "ports/clock.h"
#include "ports/privileged_helper.h"

namespace quorvane::testing {

// A virtual clock that several processes share: the real clock plus an offset, kept in a
// small mapped file. Whoever steps it leaves when (CLOCK_MONOTONIC, comparable across
// processes) and which process did, so a test can tell a helper's step from its own.
struct VirtualClockState {
  std::atomic<int64_t> offsetNs{0};
  std::atomic<int64_t> lastStepMonotonicNs{0};
  std::atomic<int32_t> lastStepPid{0};
  std::atomic<int32_t> steps{0};  // written last, so a reader that sees it sees the rest
};
static_assert(std::atomic<int64_t>::is_always_lock_free, "shared between processes");

// The mapping of such a file; `create` makes (or empties) it with a zero offset. Throws
// std::runtime_error when the file cannot be opened or mapped.
class SharedVirtualClock {
 public:
  SharedVirtualClock(const std::string& path, bool create);
  ~SharedVirtualClock();
  SharedVirtualClock(const SharedVirtualClock&) = delete;
  SharedVirtualClock& operator=(const SharedVirtualClock&) = delete;

  VirtualClockState& state() { return *state_; }
  // A fresh start `offsetMs` off the real clock, with no step recorded.
  void Reset(int64_t offsetMs);

 private:
  VirtualClockState* state_ = nullptr;
};

// The helper's operations on the virtual clock: the real clock is never touched.
class VirtualClockOperations : public PrivilegedHelper {
 public:
  explicit VirtualClockOperations(VirtualClockState& state) : state_(state) {}
  int StepClock(int64_t seconds, int64_t nanoseconds) override;
  int SetClock(int64_t seconds, int64_t nanoseconds) override;
  // Port 123 is not the virtual clock's business: refused as for a helper without the right.
  int BindNtpPort(int& descriptor) override;

 private:
  void Record();
  VirtualClockState& state_;
};

// The virtual clock as the window program reads it: the real clock and the kernel's receive
// stamps shifted by the shared offset. It only reads; a step goes through a helper.
class VirtualClockReader : public Clock {
 public:
  explicit VirtualClockReader(VirtualClockState& state) : state_(state) {}
  NtpSeconds ReadLocalClock() override;
  NtpSeconds FromSystemTime(int64_t systemUnixNs) override;
  int64_t WallSeconds() override;
  // Refused with strerror(EPERM), untouched.
  SetClockResult ApplyCorrection(const ClockRecord& record, ClockOffset offset) override;
  bool EnableClockPrivilege() override { return false; }
  void RestoreClockPrivilege() override {}

 private:
  VirtualClockState& state_;
};

// CLOCK_MONOTONIC in nanoseconds.
int64_t MonotonicNs();

// The helper client's command for the stand-in helper `program` on `clockFile`. It never sets
// the real clock; it runs without CAP_SYS_TIME all the same.
std::vector<std::string> VirtualClockHelperCommand(const std::string& program,
                                                   const std::string& clockFile);

}  // namespace quorvane::testing
