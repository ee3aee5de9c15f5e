#include "logging/correction_history.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "base/local_time.h"
#include "logging/log_reader.h"
#include "logging/log_rotation.h"
#include "logging/log_statistics.h"

namespace quorvane {
namespace {

// Beyond this many sources the rest share one, so a log of random names cannot make a
// legend of thousands of rows.
constexpr size_t kMaxSources = 64;
constexpr const char* kOtherSources = "(other sources)";

// Enough points for a stable median; the pairs of more would cost far more than they add.
constexpr size_t kMaxFitPoints = 1500;
// A correction further than this from the typical rate is never counted as a clock change
// below it: noise of SNTP replies stays well under it.
constexpr double kMinStepSeconds = 0.1;

bool Digits(std::string_view text, size_t pos, size_t count, int& value) {
  value = 0;
  for (size_t i = pos; i < pos + count; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    value = value * 10 + (text[i] - '0');
  }
  return true;
}

bool LeapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && LeapYear(y) ? 29 : kDays[m - 1];
}

// "YYYY/MM/DD,HH:MM:SS" into YYYYMMDD and HHMMSS; false for any other form or a field out
// of its range.
bool ReadTimestamp(std::string_view text, int32_t& date, int32_t& clock) {
  if (text.size() != 19 || text[4] != '/' || text[7] != '/' || text[10] != ',' || text[13] != ':' ||
      text[16] != ':') {
    return false;
  }
  int y, mo, d, h, mi, s;
  if (!Digits(text, 0, 4, y) || !Digits(text, 5, 2, mo) || !Digits(text, 8, 2, d) ||
      !Digits(text, 11, 2, h) || !Digits(text, 14, 2, mi) || !Digits(text, 17, 2, s)) {
    return false;
  }
  if (mo < 1 || mo > 12 || d < 1 || d > DaysInMonth(y, mo) || h > 23 || mi > 59 || s > 60) {
    return false;
  }
  date = y * 10000 + mo * 100 + d;
  clock = h * 10000 + mi * 100 + s;
  return true;
}

double Median(std::vector<double>& values) {
  const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
  std::nth_element(values.begin(), middle, values.end());
  return *middle;
}

// The running sum with every correction that does not fit the typical rate of the others
// replaced by that rate over its interval. Returns how many were replaced.
int64_t SetStepsAside(const RunningSum& in, std::vector<double>& cleaned) {
  const size_t n = in.time.size();
  std::vector<double> rates;
  rates.reserve(n);
  for (size_t i = 1; i < n; ++i) {
    const int64_t dt = in.time[i] - in.time[i - 1];
    if (dt > 0) rates.push_back((in.sum[i] - in.sum[i - 1]) / static_cast<double>(dt));
  }
  const double rate = rates.empty() ? 0.0 : Median(rates);
  std::vector<double> deviations;
  deviations.reserve(rates.size());
  for (size_t i = 1; i < n; ++i) {
    const int64_t dt = in.time[i] - in.time[i - 1];
    if (dt > 0) deviations.push_back(std::fabs(in.sum[i] - in.sum[i - 1] - rate * dt));
  }
  // Six robust standard deviations: noise almost never reaches it, a clock change does.
  const double spread = deviations.empty() ? 0.0 : 1.4826 * Median(deviations);
  const double limit = std::max(6.0 * spread, kMinStepSeconds);
  cleaned.assign(n, 0.0);
  int64_t steps = 0;
  for (size_t i = 0; i < n; ++i) {
    if (i == 0) {
      cleaned[0] = in.sum[0];
      continue;
    }
    const int64_t dt = in.time[i] - in.time[i - 1];
    double step = in.sum[i] - in.sum[i - 1];
    if (dt <= 0 || std::fabs(step - rate * static_cast<double>(dt)) > limit) {
      step = rate * static_cast<double>(dt);
      ++steps;
    }
    cleaned[i] = cleaned[i - 1] + step;
  }
  return steps;
}

// "1 day", "2 days".
std::string Counted(int64_t count, const char* unit) {
  return std::to_string(count) + " " + unit + (count == 1 ? "" : "s");
}

std::string SpanText(int64_t seconds) {
  const int64_t hours = seconds / 3600;
  if (hours >= 24) return Counted(hours / 24, "day") + " " + Counted(hours % 24, "hour");
  return Counted(hours, "hour") + " " + Counted(seconds % 3600 / 60, "minute");
}

}  // namespace

uint16_t CorrectionHistoryBuilder::SourceIndex(std::string_view source) {
  std::vector<std::string>& sources = history_.sources;
  for (size_t i = 0; i < sources.size(); ++i) {
    if (sources[i] == source) return static_cast<uint16_t>(i);
  }
  if (sources.size() + 1 < kMaxSources) {
    sources.emplace_back(source);
    return static_cast<uint16_t>(sources.size() - 1);
  }
  if (sources.size() + 1 == kMaxSources) sources.emplace_back(kOtherSources);
  return static_cast<uint16_t>(kMaxSources - 1);
}

std::optional<int64_t> CorrectionHistoryBuilder::Instant(int32_t date, int32_t clock) {
  const int y = date / 10000, mo = date / 100 % 100, d = date % 100;
  const int h = clock / 10000, mi = clock / 100 % 100, s = clock % 100;
  if (date != cachedDate_ || h != cachedHour_) {
    cachedDate_ = -1;
    const std::optional<int64_t> start = FromLocalCalendarAnyYear(y, mo, d, h, 0, 0);
    const std::optional<int64_t> end = FromLocalCalendarAnyYear(y, mo, d, h, 59, 59);
    // An hour in which daylight saving begins or ends is converted entry by entry.
    if (!start || !end || *end - *start != 3599)
      return FromLocalCalendarAnyYear(y, mo, d, h, mi, s);
    cachedDate_ = date;
    cachedHour_ = h;
    cachedHourStart_ = *start;
  }
  return cachedHourStart_ + mi * 60 + s;
}

void CorrectionHistoryBuilder::AddLine(std::string_view line) {
  const std::optional<EntryFields> fields = SplitEntry(line);
  HistoryEntry entry;
  std::optional<int64_t> instant;
  if (fields && ReadTimestamp(fields->timestamp, entry.date, entry.clock)) {
    instant = Instant(entry.date, entry.clock);
  }
  if (!instant) {
    ++history_.skippedLines;
    return;
  }
  entry.time = *instant;
  entry.correction = fields->correction;
  entry.source = SourceIndex(fields->source);
  entry.status = fields->status.size() == 1 ? fields->status[0] : '?';
  history_.entries.push_back(entry);
}

CorrectionHistory ReadCorrectionHistory(const std::string& logPath) {
  std::vector<int32_t> numbers = ExistingLogNumbers(logPath);
  // The highest backup is the oldest; the log itself (0) comes last.
  std::sort(numbers.begin(), numbers.end(), std::greater<>());
  CorrectionHistoryBuilder builder;
  CorrectionHistory& history = builder.History();
  LogLineReader reader;
  for (const int32_t number : numbers) {
    if (!reader.Open(LogFileName(logPath, number))) {
      ++history.filesUnreadable;
      continue;
    }
    std::string_view line;
    LogLineReader::Result result;
    while ((result = reader.Next(line)) != LogLineReader::Result::End) {
      if (result == LogLineReader::Result::Error) break;
      if (result == LogLineReader::Result::Line) {
        builder.AddLine(line);
      } else {
        ++history.skippedLines;
      }
    }
    // What was read before an error is kept: the window shows whatever it can.
    if (result == LogLineReader::Result::Error) {
      ++history.filesUnreadable;
    } else {
      ++history.filesRead;
    }
  }
  return std::move(history);
}

std::vector<uint32_t> KeepColumnExtremes(std::span<const int64_t> x, std::span<const double> y,
                                         int64_t from, int64_t to, int columns) {
  columns = std::max(columns, 1);
  const int64_t width = std::max<int64_t>(to - from, 1);
  std::vector<int64_t> low(static_cast<size_t>(columns), -1);
  std::vector<int64_t> high(static_cast<size_t>(columns), -1);
  for (size_t i = 0; i < x.size(); ++i) {
    if (x[i] < from || x[i] > to) continue;
    const auto column = std::min<int64_t>((x[i] - from) * columns / width, int64_t{columns} - 1);
    int64_t& lo = low[static_cast<size_t>(column)];
    int64_t& hi = high[static_cast<size_t>(column)];
    if (lo < 0 || y[i] < y[static_cast<size_t>(lo)]) lo = static_cast<int64_t>(i);
    if (hi < 0 || y[i] > y[static_cast<size_t>(hi)]) hi = static_cast<int64_t>(i);
  }
  std::vector<uint32_t> kept;
  for (size_t c = 0; c < low.size(); ++c) {
    if (low[c] < 0) continue;
    const auto a = static_cast<uint32_t>(std::min(low[c], high[c]));
    const auto b = static_cast<uint32_t>(std::max(low[c], high[c]));
    kept.push_back(a);
    if (b != a) kept.push_back(b);
  }
  return kept;
}

RunningSum SuccessRunningSum(const std::vector<HistoryEntry>& entries) {
  RunningSum out;
  double sum = 0.0;
  for (const HistoryEntry& e : entries) {
    if (!e.Success()) continue;
    sum += e.correction;
    out.time.push_back(e.time);
    out.sum.push_back(sum);
  }
  return out;
}

DriftFit FitDrift(const RunningSum& in) {
  DriftFit fit;
  const size_t n = in.time.size();
  fit.corrections = static_cast<int64_t>(n);
  if (n == 0) return fit;
  const auto [first, last] = std::minmax_element(in.time.begin(), in.time.end());
  fit.spanSeconds = *last - *first;
  if (n < 3 || fit.spanSeconds < 3600) return fit;
  std::vector<double> cleaned;
  fit.stepsSetAside = SetStepsAside(in, cleaned);

  std::vector<size_t> picked;
  const size_t count = std::min(n, kMaxFitPoints);
  for (size_t k = 0; k < count; ++k) picked.push_back(count == 1 ? 0 : k * (n - 1) / (count - 1));
  std::vector<double> slopes;
  slopes.reserve(count * (count - 1) / 2);
  for (size_t a = 0; a < count; ++a) {
    for (size_t b = a + 1; b < count; ++b) {
      const int64_t dt = in.time[picked[b]] - in.time[picked[a]];
      if (dt != 0) slopes.push_back((cleaned[picked[b]] - cleaned[picked[a]]) / dt);
    }
  }
  if (slopes.empty()) return fit;
  const double slope = Median(slopes);
  // The line through the running sum as plotted, where most of its points lie.
  std::vector<double> offsets;
  for (const size_t i : picked) offsets.push_back(in.sum[i] - slope * (in.time[i] - *first));
  fit.enough = true;
  fit.secondsPerDay = slope * 86400.0;
  fit.ppm = slope * 1e6;
  fit.originTime = *first;
  fit.originSum = Median(offsets);
  return fit;
}

std::string DriftText(const DriftFit& fit) {
  if (!fit.enough) return kNotEnoughForDriftText;
  char text[320];
  std::snprintf(text, sizeof text,
                "Drift: %+.3f s per day (%+.2f ppm): the clock %s time. "
                "From %lld successful corrections over %s.",
                fit.secondsPerDay, fit.ppm, fit.secondsPerDay >= 0 ? "loses" : "gains",
                static_cast<long long>(fit.corrections), SpanText(fit.spanSeconds).c_str());
  std::string out = text;
  if (fit.stepsSetAside == 1) out += " 1 correction set aside as a clock change.";
  if (fit.stepsSetAside > 1) {
    out += " " + std::to_string(fit.stepsSetAside) + " corrections set aside as clock changes.";
  }
  return out;
}

}  // namespace quorvane
