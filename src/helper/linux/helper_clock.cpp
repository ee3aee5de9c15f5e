#include "helper/linux/helper_clock.h"

#include <cerrno>
#include <cmath>
#include <cstring>

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

}  // namespace

SetClockResult HelperClock::ApplyCorrection(const ClockRecord& record, ClockOffset offset) {
  int64_t unixMs = 0;
  int64_t seconds = 0;
  int64_t nanoseconds = 0;
  if (!ClockRecordToUnixMilliseconds(record, unixMs) ||
      !SplitOffset(offset, seconds, nanoseconds)) {
    return {false, std::strerror(EINVAL)};
  }
  const int error = helper_.StepClock(seconds, nanoseconds);
  if (error != 0) return {false, std::strerror(error)};
  return {true, ""};
}

}  // namespace quorvane
