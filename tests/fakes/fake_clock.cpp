#include "fakes/fake_clock.h"

#include "sntp/sntp_packet.h"

#include <cmath>
#include <ctime>

namespace quorvane::testing {
namespace {

NtpSeconds NtpFromUnixMs(int64_t unixMs) {
  const int64_t seconds = unixMs >= 0 ? unixMs / 1000 : -((-unixMs + 999) / 1000);
  return NtpSecondsFromUnix(seconds, static_cast<int>(unixMs - seconds * 1000));
}

}  // namespace

NtpSeconds FakeClock::ReadLocalClock() { return NtpFromUnixMs(nowUnixMs); }

int64_t FakeClock::WallSeconds() { return nowUnixMs / 1000; }

SetClockResult FakeClock::SetLocalTime(const ClockRecord& record) {
  setRecords.push_back(record);
  int64_t ms = 0;
  if (refuse) return {false, refusalText};
  if (!ClockRecordToUnixMilliseconds(record, ms)) return {false, "Invalid argument"};
  nowUnixMs = ms;
  return {true, {}};
}

void FakeClock::SetNtp(NtpSeconds t) {
  nowUnixMs = static_cast<int64_t>(std::llround((t - kNtpToUnixSeconds) * 1000.0));
}

int64_t OffsetClock::RealUnixMs() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  return int64_t{ts.tv_sec} * 1000 + ts.tv_nsec / 1000000;
}

int64_t OffsetClock::NowUnixMs() const { return RealUnixMs() + offsetMs; }

NtpSeconds OffsetClock::ReadLocalClock() { return NtpFromUnixMs(NowUnixMs()); }

int64_t OffsetClock::WallSeconds() { return NowUnixMs() / 1000; }

SetClockResult OffsetClock::SetLocalTime(const ClockRecord& record) {
  int64_t ms = 0;
  if (!ClockRecordToUnixMilliseconds(record, ms)) return {false, "Invalid argument"};
  offsetMs = ms - RealUnixMs();
  ++setCount;
  return {true, {}};
}

}  // namespace quorvane::testing
