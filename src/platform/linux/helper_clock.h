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
  explicit HelperClock(PrivilegedHelper& helper) : helper_(helper) {}

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
  PrivilegedHelper& helper_;
  LinuxClock reader_;
};

}  // namespace quorvane
