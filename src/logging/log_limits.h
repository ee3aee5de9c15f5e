#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace quorvane {

inline constexpr int32_t kNoLogLimit = 0;
inline constexpr int32_t kLogSizeLimit = 1;
inline constexpr int32_t kLogTimeLimit = 2;

// The size limit in bytes for a count of megabytes (2^20 bytes), in 64 bits so that no
// count overflows. A negative count is no size at all: it sets no limit (nothing).
std::optional<int64_t> SizeLimitBytes(int32_t megabytes);

// True when a log of sizeBytes has passed the limit of that many megabytes. A log exactly
// at the limit has not.
bool SizeLimitPassed(uint64_t sizeBytes, int32_t megabytes);

// The time-limit span in seconds: "Hours", "Days", "Weeks", "Months" (30 days), compared
// exactly; any other unit gives 0. Formed in 64 bits throughout.
int64_t TimeLimitSpanSeconds(int32_t count, std::string_view unit);

// The local date and time at the start of a log line ("YYYY/MM/DD,HH:MM:SS", read as
// "%d/%d/%d,%d:%d:%d" up to the second comma) as seconds since 1970, with daylight saving
// decided for that date. Nothing when the text holds no such date and time, a value is
// outside its range (year 1900 or later, month 1-12, day 1-31, hour 0-23, minute and
// second 0-59), or the time cannot be converted (before 1970 included).
std::optional<int64_t> FirstLineTime(std::string_view line);

}  // namespace quorvane
