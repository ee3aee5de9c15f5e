#include "logging/log_limits.h"

#include <array>
#include <cctype>
#include <climits>

#include "base/local_time.h"

namespace quorvane {
namespace {

constexpr int64_t kBytesPerMegabyte = int64_t{1} << 20;

// One "%d" of scanf: blanks skipped, optional sign, at least one digit. Values that do not
// fit an int are refused rather than wrapped.
bool ReadInt(std::string_view text, size_t& pos, int& value) {
  while (pos < text.size() && std::isspace(static_cast<unsigned char>(text[pos]))) ++pos;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) negative = text[pos++] == '-';
  const size_t digitsStart = pos;
  int64_t magnitude = 0;
  while (pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos]))) {
    magnitude = magnitude * 10 + (text[pos++] - '0');
    if (magnitude > int64_t{INT_MAX} + 1) return false;
  }
  if (pos == digitsStart) return false;
  const int64_t signedValue = negative ? -magnitude : magnitude;
  if (signedValue > INT_MAX || signedValue < INT_MIN) return false;
  value = static_cast<int>(signedValue);
  return true;
}

// The six numbers of "%d/%d/%d,%d:%d:%d"; a literal must follow each of the first five.
bool ReadDateTime(std::string_view text, std::array<int, 6>& values) {
  constexpr std::array<char, 5> separators{'/', '/', ',', ':', ':'};
  size_t pos = 0;
  for (size_t i = 0; i < values.size(); ++i) {
    if (!ReadInt(text, pos, values[i])) return false;
    if (i < separators.size()) {
      if (pos >= text.size() || text[pos] != separators[i]) return false;
      ++pos;
    }
  }
  return true;
}

bool InRange(int value, int low, int high) { return value >= low && value <= high; }

}  // namespace

std::optional<int64_t> SizeLimitBytes(int32_t megabytes) {
  if (megabytes < 0) return std::nullopt;
  return int64_t{megabytes} * kBytesPerMegabyte;
}

bool SizeLimitPassed(uint64_t sizeBytes, int32_t megabytes) {
  const std::optional<int64_t> limit = SizeLimitBytes(megabytes);
  return limit && sizeBytes > static_cast<uint64_t>(*limit);
}

int64_t TimeLimitSpanSeconds(int32_t count, std::string_view unit) {
  const int64_t n = count;
  int64_t days = 0;
  int64_t hours = 0;
  if (unit == "Hours") {
    hours = n;
  } else if (unit == "Days") {
    days = n;
  } else if (unit == "Weeks") {
    days = 7 * n;
  } else if (unit == "Months") {
    days = 30 * n;
  } else {
    return 0;
  }
  return ((days * 24 + hours) * 60) * 60;
}

std::optional<int64_t> FirstLineTime(std::string_view line) {
  // Only the date and time fields count: the text before the second comma.
  const size_t firstComma = line.find(',');
  if (firstComma != std::string_view::npos) {
    const size_t secondComma = line.find(',', firstComma + 1);
    if (secondComma != std::string_view::npos) line = line.substr(0, secondComma);
  }
  std::array<int, 6> v{};
  if (!ReadDateTime(line, v)) return std::nullopt;
  const auto [year, month, day, hour, minute, second] = v;
  if (year < 1900 || !InRange(month, 1, 12) || !InRange(day, 1, 31) || !InRange(hour, 0, 23) ||
      !InRange(minute, 0, 59) || !InRange(second, 0, 59)) {
    return std::nullopt;
  }
  return FromLocalCalendar(year, month, day, hour, minute, second);
}

}  // namespace quorvane
