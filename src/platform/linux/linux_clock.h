#pragma once

#include <cstdint>

#include "ports/clock.h"

namespace quorvane {

// The system clock (CLOCK_REALTIME).
//
// Linux capabilities belong to threads, not to the process: EnableClockPrivilege,
// ApplyCorrection and RestoreClockPrivilege must all run on the same thread, the one that
// sets the clock (the user-interface thread). The program is meant to hold CAP_SYS_TIME
// in its permitted set only (file capability); the bracket makes it effective just for
// the one call.
class LinuxClock : public Clock {
 public:
  // Nanosecond resolution, as clock_gettime gives it.
  NtpSeconds ReadLocalClock() override;
  NtpSeconds FromSystemTime(int64_t systemUnixNs) override;
  int64_t WallSeconds() override;
  // One atomic step by the offset (clock_adjtime with ADJ_SETOFFSET). Refused: the text is
  // strerror of the failure; a record naming no valid time, or an offset that is not a
  // finite number of seconds the kernel can take, is refused with strerror(EINVAL) without
  // calling the system.
  SetClockResult ApplyCorrection(const ClockRecord& record, ClockOffset offset) override;
  // Raises CAP_SYS_TIME from the permitted into the effective set of the calling thread;
  // false when it is not permitted (or the capability state cannot be read or set).
  bool EnableClockPrivilege() override;
  // Lowers CAP_SYS_TIME again if EnableClockPrivilege raised it; a capability that was
  // already effective before the bracket stays as it was.
  void RestoreClockPrivilege() override;

 private:
  bool raised_ = false;
};

}  // namespace quorvane
