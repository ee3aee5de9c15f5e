#include "logging/log_entry.h"

#include <charconv>

#include "base/local_time.h"

namespace quorvane {
namespace {

// "%H:%M:%S" is what "%X" gives in the "C" locale; spelling it out keeps the line's layout
// when a toolkit has switched the process to the user's locale (where "%X" may add AM/PM).
constexpr const char* kEntryTimePattern = "%Y/%m/%d,%H:%M:%S";

// The unit letter of field 6; an empty unit leaves the field empty so the line keeps its
// six commas.
std::string UnitLetter(const std::string& unit) { return unit.empty() ? "" : unit.substr(0, 1); }

}  // namespace

std::string FormatCorrection(double correctionSeconds) {
  const bool negative = correctionSeconds < 0.0;
  // Adding +0.0 turns a negative zero into a plain zero, so it never prints as "+-0.000000".
  const double value = negative ? correctionSeconds : correctionSeconds + 0.0;
  // to_chars is locale-independent: the decimal point stays a point, never a comma.
  char buffer[400];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 6);
  std::string text(buffer, result.ptr);
  return negative ? text : "+" + text;
}

std::optional<std::string> FormatLogEntry(const AppSettings& settings, int64_t wallSeconds,
                                          double correctionSeconds, char status) {
  std::string source;
  std::string periodNumber;
  std::string periodUnit;
  if (settings.Socket_Mode == kPollMode) {
    source = settings.ServerInUse;
    periodNumber = settings.IntervalNum;
    periodUnit = UnitLetter(settings.IntervalUnit);
  } else if (settings.Socket_Mode == kListenMode) {
    source = "Broadcast";
    periodNumber = std::to_string(settings.Broadcast_Timeout);
    periodUnit = UnitLetter(settings.Broadcast_Timeout_Unit);
  } else {
    return std::nullopt;
  }
  std::string line = FormatLocalTime(wallSeconds, kEntryTimePattern);
  line += ',';
  line += FormatCorrection(correctionSeconds);
  for (const std::string* field : {&source, &periodNumber, &periodUnit}) {
    line += ',';
    line += *field;
  }
  line += ',';
  line += status;
  return line;
}

}  // namespace quorvane
