#include "helper/linux/helper_clock.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <utility>

#include "helper/helper_protocol.h"
#include "sntp/sntp_packet.h"

namespace quorvane {
namespace {

// Whole seconds (rounded down) and the nanoseconds above them, as the helper takes a step;
// false when the offset is no step the helper would take.
bool SplitOffset(ClockOffset offset, int64_t& seconds, int64_t& nanoseconds) {
  if (!std::isfinite(offset)) return false;
  double whole = std::floor(offset);
  if (!(std::fabs(whole) < static_cast<double>(kLargestHelperSeconds - 1))) return false;
  nanoseconds = std::llround((offset - whole) * 1e9);
  if (nanoseconds >= kNanosPerSecond) {
    nanoseconds -= kNanosPerSecond;
    whole += 1;
  }
  seconds = static_cast<int64_t>(whole);
  return true;
}

// The step the helper is asked for, or false when the record names no valid time or the
// offset is no step the helper would take.
bool HelperStep(const ClockRecord& record, ClockOffset offset, int64_t& seconds,
                int64_t& nanoseconds) {
  int64_t unixMs = 0;
  return ClockRecordToUnixMilliseconds(record, unixMs) && SplitOffset(offset, seconds, nanoseconds);
}

SetClockResult ResultOf(int error) {
  if (error != 0) return {false, std::strerror(error)};
  return {true, ""};
}

}  // namespace

SetClockResult HelperClock::ApplyCorrection(const ClockRecord& record, ClockOffset offset) {
  int64_t seconds = 0;
  int64_t nanoseconds = 0;
  if (!HelperStep(record, offset, seconds, nanoseconds)) return ResultOf(EINVAL);
  return ResultOf(helper_.StepClock(seconds, nanoseconds));
}

void HelperClock::StartCorrection(const ClockRecord& record, ClockOffset offset,
                                  CorrectionAnswer answer) {
  int64_t seconds = 0;
  int64_t nanoseconds = 0;
  if (!HelperStep(record, offset, seconds, nanoseconds)) {
    answer(ResultOf(EINVAL));
    return;
  }
  helper_.StartStepClock(seconds, nanoseconds,
                         [answer = std::move(answer)](int error) { answer(ResultOf(error)); });
}

}  // namespace quorvane
