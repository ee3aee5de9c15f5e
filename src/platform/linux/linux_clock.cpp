#include "platform/linux/linux_clock.h"

#include <sys/capability.h>

#include <cerrno>
#include <cstring>
#include <ctime>

#include "sntp/sntp_packet.h"

namespace quorvane {
namespace {

// Sets or clears CAP_SYS_TIME in the calling thread's effective set.
bool SetEffectiveSysTime(cap_t caps, cap_flag_value_t value) {
  const cap_value_t sysTime[] = {CAP_SYS_TIME};
  return cap_set_flag(caps, CAP_EFFECTIVE, 1, sysTime, value) == 0 && cap_set_proc(caps) == 0;
}

}  // namespace

NtpSeconds LinuxClock::ReadLocalClock() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  return NtpSecondsFromUnix(now.tv_sec, static_cast<int>(now.tv_nsec / 1'000'000));
}

int64_t LinuxClock::WallSeconds() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  return now.tv_sec;
}

SetClockResult LinuxClock::SetLocalTime(const ClockRecord& record) {
  int64_t unixMs = 0;
  if (!ClockRecordToUnixMilliseconds(record, unixMs)) return {false, std::strerror(EINVAL)};
  // Floor division, so an instant before 1970 still has 0..999 ms (the kernel then
  // refuses it with its own text).
  int64_t seconds = unixMs / 1000;
  int64_t ms = unixMs % 1000;
  if (ms < 0) {
    ms += 1000;
    seconds -= 1;
  }
  const timespec target{static_cast<time_t>(seconds), static_cast<long>(ms * 1'000'000)};
  if (clock_settime(CLOCK_REALTIME, &target) != 0) return {false, std::strerror(errno)};
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
