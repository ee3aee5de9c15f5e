#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace quorvane {

// Seconds since 1900-01-01 00:00:00 UTC (NTP era 0).
using NtpSeconds = double;
// A correction in seconds; positive means the PC clock is behind the server.
using ClockOffset = double;

// Calendar record in local time, laid out as the clock-setting call expects it.
struct ClockRecord {
  uint16_t year = 0;
  uint16_t month = 0;  // 1-12
  uint16_t dayOfWeek = 0;
  uint16_t day = 0;  // 1-31
  uint16_t hour = 0;
  uint16_t minute = 0;
  uint16_t second = 0;
  uint16_t milliseconds = 0;  // 0-999

  bool operator==(const ClockRecord&) const = default;
};

struct SetClockResult {
  bool accepted = false;
  std::string errorText;  // the system's text for the refusal; empty when accepted
};

// The answer to a correction, given on the user-interface thread.
using CorrectionAnswer = std::function<void(const SetClockResult&)>;

// The PC clock. The core reads the time only through this port, so tests can run it on a
// virtual clock and never touch the real one. Every call is made on the user-interface
// thread; the privilege bracket and ApplyCorrection run on the same thread, one after another
// (with StartCorrection, the bracket closes when the answer has come).
class Clock {
 public:
  virtual ~Clock() = default;
  // UTC now, at the platform's full resolution.
  virtual NtpSeconds ReadLocalClock() = 0;
  // What this clock read at the instant the system's real-time clock read `systemUnixNs`
  // (nanoseconds since 1970): how a kernel receive timestamp becomes an arrival time.
  virtual NtpSeconds FromSystemTime(int64_t systemUnixNs) = 0;
  // UTC now, whole seconds since 1970-01-01.
  virtual int64_t WallSeconds() = 0;
  // Moves the clock by `offset` seconds in one step, so that the time spent since the
  // arrival adds no error. `record` is the local calendar time the step aims at: a record
  // that names no valid time is refused without touching the clock. Accepted, or refused
  // with the system's text.
  virtual SetClockResult ApplyCorrection(const ClockRecord& record, ClockOffset offset) = 0;
  // ApplyCorrection without waiting for its answer: `answer` receives it exactly once, on the
  // user-interface thread, either within this call (a clock that steps in this process, as
  // the default does) or later from the event loop (a step made by another process, which
  // may take up to its time-out). A clock destroyed first never calls it. The step is by
  // an offset, so an answer that comes late makes it no less exact.
  virtual void StartCorrection(const ClockRecord& record, ClockOffset offset,
                               CorrectionAnswer answer) {
    answer(ApplyCorrection(record, offset));
  }
  // Bracket around ApplyCorrection: raise, then restore, the right to set the clock.
  virtual bool EnableClockPrivilege() = 0;
  virtual void RestoreClockPrivilege() = 0;
};

}  // namespace quorvane
