#include "app/local_time.h"

#include <ctime>
#include <limits>

namespace quorvane {

std::string FormatLocalTime(int64_t unixSeconds, const char* pattern) {
  // Times before 1970 count as unconvertible, as they do for the clock record, so a
  // server stamp that the clock refuses is never shown as a date either.
  if (unixSeconds < 0 || unixSeconds > std::numeric_limits<std::time_t>::max()) return {};
  const auto t = static_cast<std::time_t>(unixSeconds);
  std::tm local{};
  if (localtime_r(&t, &local) == nullptr) return {};
  // The program puts LC_TIME back to "C" at start-up, so %X is HH:MM:SS and %B the
  // English month name whatever the user's locale.
  char buffer[128];
  const size_t n = std::strftime(buffer, sizeof buffer, pattern, &local);
  return std::string(buffer, n);
}

}  // namespace quorvane
