#pragma once

#include "ports/privileged_helper.h"

namespace quorvane {

// The helper's operations on the real system. Each raises the one capability it needs from
// the permitted into the effective set just around its system call and lowers it again, so
// nothing else the helper does runs with a right.
class SystemHelperOperations : public PrivilegedHelper {
 public:
  // clock_adjtime(CLOCK_REALTIME) with ADJ_SETOFFSET | ADJ_NANO, under CAP_SYS_TIME.
  int StepClock(int64_t seconds, int64_t nanoseconds) override;
  // clock_settime(CLOCK_REALTIME), under CAP_SYS_TIME.
  int SetClock(int64_t seconds, int64_t nanoseconds) override;
  // An IPv4 UDP socket bound to 0.0.0.0:123, the bind under CAP_NET_BIND_SERVICE.
  int BindNtpPort(int& descriptor) override;
};

// Leaves the calling thread permitted CAP_SYS_TIME and CAP_NET_BIND_SERVICE at most, with
// nothing effective, inheritable or ambient; the helper calls it once at start. Answers
// with an errno, 0 on success.
int KeepOnlyHelperCapabilities();

}  // namespace quorvane
