#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ports/message_boxes.h"

namespace quorvane {

inline constexpr const char* kLogMissingText = "The log file is missing or cannot be opened.";
inline constexpr std::string_view kBroadcastSource = "Broadcast";
inline constexpr size_t kMaxSourceTallies = 4;

// The counters of one time source.
struct SourceTally {
  std::string source;
  int64_t entries = 0;
  int64_t successes = 0;
  // Magnitudes of the corrections of all its entries, whatever their status.
  float magnitudeSum = 0.0f;
};

// The summary of one sync log. Corrections are added and compared as 32-bit floats; the
// counters are 64-bit so no log, however long, can overflow them.
struct LogStatistics {
  int64_t entryCount = 0;
  float largest = 0.0f;  // of largest magnitude, with its sign
  float largestPositive = 0.0f;
  float largestNegative = 0.0f;
  float smallest = 1.0f;  // of smallest magnitude below 1.0, with its sign
  float magnitudeSum = 0.0f;
  int64_t successCount = 0;
  int64_t failureCount = 0;
  std::string firstTimestamp;  // "YYYY/MM/DD,HH:MM:SS" of the first entry
  std::string lastTimestamp;
  std::vector<SourceTally> sources;  // at most kMaxSourceTallies, in order of first appearance
};

// The correction field read as "%f" reads it into a float: leading blanks, an optional
// sign, decimal or hexadecimal digits, an exponent, "inf" or "nan". Nothing when the field
// does not begin with a number, or the number is not finite (so a single odd line cannot
// turn every sum into infinity or NaN). A negative zero is read as zero.
std::optional<float> ReadCorrection(std::string_view field);

// The fields of a valid entry, as views into its line: the date and time (fields 1 and 2
// with their comma), the correction read as a number, the source and the status.
struct EntryFields {
  std::string_view timestamp;
  float correction = 0.0f;
  std::string_view source;
  std::string_view status;
};

// The fields of a line that is an entry: not empty, exactly six commas and a correction
// that reads as a number. Nothing for every other line.
std::optional<EntryFields> SplitEntry(std::string_view line);

// Adds the lines of a log one at a time. A line is an entry when it is not empty, holds
// exactly six commas and its correction reads as a number; every other line changes nothing.
class LogStatisticsPass {
 public:
  void AddLine(std::string_view line);
  const LogStatistics& Result() const { return stats_; }

 private:
  void CountForSource(std::string_view source, float magnitude, bool success);

  LogStatistics stats_;
};

template <typename Lines>
LogStatistics ComputeLogStatistics(const Lines& lines) {
  LogStatisticsPass pass;
  for (const auto& line : lines) pass.AddLine(line);
  return pass.Result();
}

// What the dialog shows for a pass, field by field.
struct LogStatisticsTexts {
  std::string entryCount;
  std::string average;
  std::string largest;
  std::string largestPositive;
  std::string largestNegative;
  std::string smallest;
  std::string successCount;
  std::string failureCount;
  std::string firstEntry;  // date and time separated by a blank
  std::string lastEntry;
  std::vector<std::string> sourceRows;  // tab-separated, in tally order
};

LogStatisticsTexts StatisticsTexts(const LogStatistics& stats);

// "%f" of a value: six decimals, a minus sign only.
std::string FixedSix(double value);

// The log size for the dialog: "N Bytes" below 1 KiB, then "%3.3f" of KB, MB or GB, each
// step taken on the value rounded to a float, as the thresholds were always tested.
std::string LogSizeText(uint64_t bytes);

// What opening the statistics finds: the size (none when the log does not exist) and the
// pass over its lines (start values when it cannot be read).
struct LogStatisticsReport {
  std::optional<uint64_t> sizeBytes;
  LogStatistics stats;
};

// Asks for the log's status, then reads it line by line. A missing or unreadable log is
// told in an application box, and the start values stand.
LogStatisticsReport ReadLogStatistics(const std::string& path, MessageBoxes& boxes);

}  // namespace quorvane
