#include "app/local_time.h"

#include <ctime>
#include <limits>

namespace quorvane {

std::string FormatLocalTime(int64_t unixSeconds, const char* pattern) {
  if (unixSeconds < std::numeric_limits<std::time_t>::min() ||
      unixSeconds > std::numeric_limits<std::time_t>::max()) {
    return {};
  }
  const auto t = static_cast<std::time_t>(unixSeconds);
  std::tm local{};
  if (localtime_r(&t, &local) == nullptr) return {};
  // The program never sets a locale, so strftime runs in the "C" locale: %X is HH:MM:SS
  // and %B the English month name.
  char buffer[128];
  const size_t n = std::strftime(buffer, sizeof buffer, pattern, &local);
  return std::string(buffer, n);
}

}  // namespace quorvane
