#pragma once

#include "platform/linux/linux_clock.h"
#include "ports/clock.h"
#include "ports/privileged_helper.h"

namespace quorvane {

// The system clock for a window program that holds no right to set it: it reads the clock
// itself and has the privileged helper make the step. The right lives in the helper, so the
// bracket around ApplyCorrection has nothing to raise.
class HelperClock : public Clock {
 public:
  // Reads the system clock.
  explicit HelperClock(PrivilegedHelper& helper) : HelperClock(helper, systemClock_) {}
  // Reads `reader` instead (only its reading calls are used): the clock the helper moves, as
  // this process sees it, e.g. a virtual one for a helper that moves that.
  HelperClock(PrivilegedHelper& helper, Clock& reader) : helper_(helper), reader_(reader) {}
  HelperClock(const HelperClock&) = delete;
  HelperClock& operator=(const HelperClock&) = delete;

  NtpSeconds ReadLocalClock() override { return reader_.ReadLocalClock(); }
  NtpSeconds FromSystemTime(int64_t systemUnixNs) override {
    return reader_.FromSystemTime(systemUnixNs);
  }
  int64_t WallSeconds() override { return reader_.WallSeconds(); }
  // One step by the offset through the helper. Refused with strerror of the helper's answer
  // (the reason it could not start, or the kernel's refusal); a record naming no valid time,
  // or an offset the helper would not take, is refused with strerror(EINVAL) unsent.
  SetClockResult ApplyCorrection(const ClockRecord& record, ClockOffset offset) override;
  bool EnableClockPrivilege() override { return true; }
  void RestoreClockPrivilege() override {}

 private:
  LinuxClock systemClock_;
  PrivilegedHelper& helper_;
  Clock& reader_;
};

}  // namespace quorvane
