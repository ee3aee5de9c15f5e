#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quorvane {

inline constexpr const char* kNotEnoughForDriftText =
    "Not enough corrections to work out the drift.";

// One logged clock-setting attempt, as the history keeps it.
struct HistoryEntry {
  int64_t time = 0;         // Unix seconds of the entry's local date and time
  float correction = 0.0f;  // seconds
  int32_t date = 0;         // YYYYMMDD as written in the log
  int32_t clock = 0;        // HHMMSS as written in the log
  uint16_t source = 0;      // index into CorrectionHistory::sources
  char status = '?';        // the status letter; '?' for any other status text

  bool Success() const { return status == 'S'; }
};

// Every entry of the log and its backups, oldest file first, each file in its own order.
struct CorrectionHistory {
  std::vector<std::string> sources;  // in order of first appearance
  std::vector<HistoryEntry> entries;
  int64_t skippedLines = 0;  // not entries, or entries whose date and time cannot be read
  int32_t filesRead = 0;
  int32_t filesUnreadable = 0;  // backups or logs that exist but cannot be read
};

// Reads the log at logPath and its numbered backups, highest number (the oldest) first and
// the log itself last. Missing files are passed over; a file that cannot be read counts
// in filesUnreadable and the others are still read.
CorrectionHistory ReadCorrectionHistory(const std::string& logPath);

// Adds the lines of one file in order; used by ReadCorrectionHistory and by tests.
class CorrectionHistoryBuilder {
 public:
  void AddLine(std::string_view line);
  CorrectionHistory& History() { return history_; }

 private:
  uint16_t SourceIndex(std::string_view source);
  std::optional<int64_t> Instant(int32_t date, int32_t clock);

  CorrectionHistory history_;
  // The local hour last converted, so that a long log converts each hour once. Only an
  // hour with a constant UTC offset throughout is cached.
  int32_t cachedDate_ = -1;
  int32_t cachedHour_ = -1;
  int64_t cachedHourStart_ = 0;
};

// Keeps, for each of `columns` equal slices of [from, to], the point of lowest and the
// point of highest y, so that no extreme disappears from a chart of that many pixel
// columns. Points outside the range are dropped. Returns their indices in x order of
// their column; at most 2 * columns of them.
std::vector<uint32_t> KeepColumnExtremes(std::span<const int64_t> x, std::span<const double> y,
                                         int64_t from, int64_t to, int columns);

// The clock's drift from the successful corrections: the slope of their running sum over
// time. The running sum is the time the clock would have lost without the corrections.
struct DriftFit {
  bool enough = false;
  double secondsPerDay = 0.0;
  double ppm = 0.0;
  int64_t corrections = 0;  // successful corrections the fit rests on
  int64_t spanSeconds = 0;
  int64_t stepsSetAside = 0;  // corrections taken for clock changes, see FitDrift
  // The fitted line: running sum = originSum + slope * (t - originTime).
  int64_t originTime = 0;
  double originSum = 0.0;
};

// Points of the running sum of successful corrections, in log order.
struct RunningSum {
  std::vector<int64_t> time;
  std::vector<double> sum;
};
RunningSum SuccessRunningSum(const std::vector<HistoryEntry>& entries);

// The Theil-Sen slope (median of the slopes between all pairs of points) of the running
// sum. A manual clock change shows in it as a step that would tilt every pair across it,
// so corrections far from the typical rate for their interval are first replaced by that
// rate. Needs three successful corrections over at least an hour.
DriftFit FitDrift(const RunningSum& sum);

// "Not enough ..." or the drift in seconds per day and ppm, with its span and count.
std::string DriftText(const DriftFit& fit);

}  // namespace quorvane
