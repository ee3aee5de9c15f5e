#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ports/clock.h"

namespace quorvane::testing {

// A virtual clock held in milliseconds of Unix time. It moves only when a test moves it
// or when SetLocalTime accepts a record.
class FakeClock : public Clock {
 public:
  int64_t nowUnixMs = int64_t{1245332200} * 1000;
  bool refuse = false;
  std::string refusalText = "Operation not permitted";
  int privilegeRaised = 0;
  int privilegeRestored = 0;
  std::vector<ClockRecord> setRecords;

  NtpSeconds ReadLocalClock() override;
  int64_t WallSeconds() override;
  SetClockResult SetLocalTime(const ClockRecord& record) override;
  bool EnableClockPrivilege() override {
    ++privilegeRaised;
    return true;
  }
  void RestoreClockPrivilege() override { ++privilegeRestored; }

  void SetNtp(NtpSeconds t);
  void AdvanceMs(int64_t ms) { nowUnixMs += ms; }
};

// The real clock, read only, shifted by an offset; setting it moves only the offset.
// Integration tests use it so a real server's time can be applied without touching the PC.
class OffsetClock : public Clock {
 public:
  explicit OffsetClock(int64_t initialOffsetMs) : offsetMs(initialOffsetMs) {}
  int64_t offsetMs;
  int setCount = 0;

  NtpSeconds ReadLocalClock() override;
  int64_t WallSeconds() override;
  SetClockResult SetLocalTime(const ClockRecord& record) override;
  bool EnableClockPrivilege() override { return true; }
  void RestoreClockPrivilege() override {}
  // Milliseconds of virtual Unix time, for measuring errors.
  int64_t NowUnixMs() const;
  // The real clock's Unix milliseconds (read only).
  static int64_t RealUnixMs();
};

}  // namespace quorvane::testing
