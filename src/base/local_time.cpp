#include "base/local_time.h"

#include <limits>

namespace quorvane {

std::optional<std::tm> ToLocalCalendar(int64_t unixSeconds) {
  if (unixSeconds < 0) return {};
  return ToLocalCalendarAnyYear(unixSeconds);
}

std::optional<std::tm> ToLocalCalendarAnyYear(int64_t unixSeconds) {
  if (unixSeconds < std::numeric_limits<std::time_t>::min() ||
      unixSeconds > std::numeric_limits<std::time_t>::max()) {
    return {};
  }
  const auto t = static_cast<std::time_t>(unixSeconds);
  std::tm local{};
  if (localtime_r(&t, &local) == nullptr) return {};
  return local;
}

std::optional<int64_t> FromLocalCalendar(int year, int month, int day, int hour, int minute,
                                         int second) {
  const std::optional<int64_t> t = FromLocalCalendarAnyYear(year, month, day, hour, minute, second);
  if (!t || *t < 0) return {};
  return t;
}

std::optional<int64_t> FromLocalCalendarAnyYear(int year, int month, int day, int hour, int minute,
                                                int second) {
  std::tm local{};
  local.tm_year = year - 1900;
  local.tm_mon = month - 1;
  local.tm_mday = day;
  local.tm_hour = hour;
  local.tm_min = minute;
  local.tm_sec = second;
  local.tm_isdst = -1;  // daylight saving as it was on that date
  local.tm_wday = -1;   // mktime fills it in only when it succeeds
  // -1 is also 1969-12-31 23:59:59 UTC: only tm_wday tells success from failure.
  const std::time_t t = std::mktime(&local);
  if (local.tm_wday < 0) return {};
  return int64_t{t};
}

std::string FormatLocalTime(int64_t unixSeconds, const char* pattern) {
  const std::optional<std::tm> local = ToLocalCalendar(unixSeconds);
  if (!local) return {};
  char buffer[128];
  const size_t n = std::strftime(buffer, sizeof buffer, pattern, &*local);
  return std::string(buffer, n);
}

}  // namespace quorvane
