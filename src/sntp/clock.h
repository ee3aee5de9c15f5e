#pragma once

#include <cstdint>
#include <string>

#include "sntp/sntp_packet.h"

namespace quorvane {

struct SetClockResult {
  bool accepted = false;
  std::string errorText;  // the system's text for the refusal; empty when accepted
};

// The PC clock. The core reads the time only through this port, so tests can run it on a
// virtual clock and never touch the real one.
class Clock {
 public:
  virtual ~Clock() = default;
  // UTC now, at millisecond resolution.
  virtual NtpSeconds ReadLocalClock() = 0;
  // UTC now, whole seconds since 1970-01-01.
  virtual int64_t WallSeconds() = 0;
  // Sets the clock to a local-time record; accepted or refused with the system's text.
  virtual SetClockResult SetLocalTime(const ClockRecord& record) = 0;
  // Bracket around SetLocalTime: raise, then restore, the right to set the clock.
  virtual bool EnableClockPrivilege() = 0;
  virtual void RestoreClockPrivilege() = 0;
};

}  // namespace quorvane
