#include "platform/linux/linux_clock.h"

#include <sys/capability.h>
#include <sys/timex.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <ctime>

#include "sntp/sntp_packet.h"

namespace quorvane {
namespace {

constexpr int64_t kNanosPerSecond = 1'000'000'000;
constexpr double kLargestStepSeconds = 1e10;

// Sets or clears CAP_SYS_TIME in the calling thread's effective set.
bool SetEffectiveSysTime(cap_t caps, cap_flag_value_t value) {
  const cap_value_t sysTime[] = {CAP_SYS_TIME};
  return cap_set_flag(caps, CAP_EFFECTIVE, 1, sysTime, value) == 0 && cap_set_proc(caps) == 0;
}

}  // namespace

NtpSeconds LinuxClock::ReadLocalClock() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  return FromSystemTime(int64_t{now.tv_sec} * kNanosPerSecond + now.tv_nsec);
}

NtpSeconds LinuxClock::FromSystemTime(int64_t systemUnixNs) {
  // Whole seconds and nanoseconds apart, so no precision is lost before the sum.
  const int64_t seconds = systemUnixNs / kNanosPerSecond;
  const int64_t nanos = systemUnixNs % kNanosPerSecond;
  return static_cast<double>(seconds + kNtpToUnixSeconds) + static_cast<double>(nanos) * 1e-9;
}

int64_t LinuxClock::WallSeconds() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  return now.tv_sec;
}

SetClockResult LinuxClock::ApplyCorrection(const ClockRecord& record, ClockOffset offset) {
  int64_t unixMs = 0;
  if (!ClockRecordToUnixMilliseconds(record, unixMs)) return {false, std::strerror(EINVAL)};
  // A correction of more than a few centuries is no clock error the kernel should take.
  if (!(std::fabs(offset) < kLargestStepSeconds)) return {false, std::strerror(EINVAL)};
  double whole = std::floor(offset);
  auto nanos = static_cast<int64_t>(std::llround((offset - whole) * 1e9));
  if (nanos >= kNanosPerSecond) {
    nanos -= kNanosPerSecond;
    whole += 1;
  }
  timex step{};
  step.modes = ADJ_SETOFFSET | ADJ_NANO;
  step.time.tv_sec = static_cast<time_t>(whole);
  step.time.tv_usec = static_cast<suseconds_t>(nanos);  // nanoseconds, with ADJ_NANO
  if (clock_adjtime(CLOCK_REALTIME, &step) < 0) return {false, std::strerror(errno)};
  return {true, ""};
}

bool LinuxClock::EnableClockPrivilege() {
  cap_t caps = cap_get_proc();
  if (caps == nullptr) return false;
  cap_flag_value_t permitted = CAP_CLEAR;
  cap_flag_value_t effective = CAP_CLEAR;
  bool ok = cap_get_flag(caps, CAP_SYS_TIME, CAP_PERMITTED, &permitted) == 0 &&
            cap_get_flag(caps, CAP_SYS_TIME, CAP_EFFECTIVE, &effective) == 0 &&
            permitted == CAP_SET;
  if (ok && effective != CAP_SET) {
    ok = SetEffectiveSysTime(caps, CAP_SET);
    raised_ = ok;
  }
  cap_free(caps);
  return ok;
}

void LinuxClock::RestoreClockPrivilege() {
  if (!raised_) return;
  raised_ = false;
  cap_t caps = cap_get_proc();
  if (caps == nullptr) return;
  SetEffectiveSysTime(caps, CAP_CLEAR);
  cap_free(caps);
}

}  // namespace quorvane
