#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "ports/clock.h"

namespace quorvane::testing {

// A virtual clock held in milliseconds of Unix time. It moves only when a test moves it
// or when ApplyCorrection accepts a step (rounded to the millisecond).
class FakeClock : public Clock {
 public:
  int64_t nowUnixMs = int64_t{1245332200} * 1000;
  bool refuse = false;
  std::string refusalText = "Operation not permitted";
  int privilegeRaised = 0;
  int privilegeRestored = 0;
  std::vector<ClockRecord> setRecords;  // every record a correction aimed at
  std::vector<ClockOffset> steps;       // every step accepted

  NtpSeconds ReadLocalClock() override;
  // Unrelated to the system's time: a stamp reads as now.
  NtpSeconds FromSystemTime(int64_t) override { return ReadLocalClock(); }
  int64_t WallSeconds() override;
  SetClockResult ApplyCorrection(const ClockRecord& record, ClockOffset offset) override;
  // With `deferAnswers`, a correction waits in `unanswered` until AnswerNext applies the
  // oldest and gives its answer, as one made by another process does.
  void StartCorrection(const ClockRecord& record, ClockOffset offset,
                       CorrectionAnswer answer) override;
  void AnswerNext();
  bool deferAnswers = false;
  std::vector<std::function<void()>> unanswered;
  bool EnableClockPrivilege() override {
    ++privilegeRaised;
    return true;
  }
  void RestoreClockPrivilege() override { ++privilegeRestored; }

  void SetNtp(NtpSeconds t);
  void AdvanceMs(int64_t ms) { nowUnixMs += ms; }
};

// The real clock, read only, shifted by an offset; a correction moves only the offset.
// Integration tests use it so a real server's time can be applied without touching the PC.
class OffsetClock : public Clock {
 public:
  explicit OffsetClock(int64_t initialOffsetMs) : offsetNs(initialOffsetMs * 1'000'000) {}
  int64_t offsetNs;
  int setCount = 0;

  NtpSeconds ReadLocalClock() override;
  NtpSeconds FromSystemTime(int64_t systemUnixNs) override;
  int64_t WallSeconds() override;
  SetClockResult ApplyCorrection(const ClockRecord& record, ClockOffset offset) override;
  bool EnableClockPrivilege() override { return true; }
  void RestoreClockPrivilege() override {}
  int64_t OffsetMs() const { return offsetNs / 1'000'000; }
  // Nanoseconds of the real clock since 1970 (read only).
  static int64_t RealUnixNs();
};

}  // namespace quorvane::testing
