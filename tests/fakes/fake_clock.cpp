#include "fakes/fake_clock.h"

#include <cmath>
#include <ctime>
#include <utility>

#include "sntp/sntp_packet.h"

namespace quorvane::testing {
namespace {

constexpr int64_t kNanosPerSecond = 1'000'000'000;

NtpSeconds NtpFromUnixMs(int64_t unixMs) {
  const int64_t seconds = unixMs >= 0 ? unixMs / 1000 : -((-unixMs + 999) / 1000);
  return NtpSecondsFromUnix(seconds, static_cast<int>(unixMs - seconds * 1000));
}

NtpSeconds NtpFromUnixNs(int64_t unixNs) {
  return static_cast<double>(unixNs / kNanosPerSecond + kNtpToUnixSeconds) +
         static_cast<double>(unixNs % kNanosPerSecond) * 1e-9;
}

}  // namespace

NtpSeconds FakeClock::ReadLocalClock() { return NtpFromUnixMs(nowUnixMs); }

int64_t FakeClock::WallSeconds() { return nowUnixMs / 1000; }

SetClockResult FakeClock::ApplyCorrection(const ClockRecord& record, ClockOffset offset) {
  setRecords.push_back(record);
  int64_t ms = 0;
  if (refuse) return {false, refusalText};
  if (!ClockRecordToUnixMilliseconds(record, ms)) return {false, "Invalid argument"};
  steps.push_back(offset);
  nowUnixMs += std::llround(offset * 1000.0);
  return {true, {}};
}

void FakeClock::StartCorrection(const ClockRecord& record, ClockOffset offset,
                                CorrectionAnswer answer) {
  if (!deferAnswers) return Clock::StartCorrection(record, offset, std::move(answer));
  unanswered.push_back([=, this] { answer(ApplyCorrection(record, offset)); });
}

void FakeClock::AnswerNext() {
  const std::function<void()> next = std::move(unanswered.front());
  unanswered.erase(unanswered.begin());
  next();
}

void FakeClock::SetNtp(NtpSeconds t) {
  nowUnixMs = static_cast<int64_t>(std::llround((t - kNtpToUnixSeconds) * 1000.0));
}

int64_t OffsetClock::RealUnixNs() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  return int64_t{ts.tv_sec} * kNanosPerSecond + ts.tv_nsec;
}

NtpSeconds OffsetClock::ReadLocalClock() { return FromSystemTime(RealUnixNs()); }

NtpSeconds OffsetClock::FromSystemTime(int64_t systemUnixNs) {
  return NtpFromUnixNs(systemUnixNs + offsetNs);
}

int64_t OffsetClock::WallSeconds() { return (RealUnixNs() + offsetNs) / kNanosPerSecond; }

SetClockResult OffsetClock::ApplyCorrection(const ClockRecord& record, ClockOffset offset) {
  int64_t ms = 0;
  if (!ClockRecordToUnixMilliseconds(record, ms)) return {false, "Invalid argument"};
  offsetNs += std::llround(offset * 1e9);
  ++setCount;
  return {true, {}};
}

}  // namespace quorvane::testing
