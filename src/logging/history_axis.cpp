#include "logging/history_axis.h"

#include <cstdio>
#include <optional>

#include "base/local_time.h"

namespace quorvane {
namespace {

enum class Unit { Minute, Day, Month, Year };

struct Step {
  Unit unit;
  int count;
};

// Finest first. Every minute step divides a day, so its ticks fall on round times of day.
constexpr Step kSteps[] = {
    {Unit::Minute, 1},  {Unit::Minute, 5},   {Unit::Minute, 15},  {Unit::Minute, 30},
    {Unit::Minute, 60}, {Unit::Minute, 180}, {Unit::Minute, 360}, {Unit::Minute, 720},
    {Unit::Day, 1},     {Unit::Day, 2},      {Unit::Day, 5},      {Unit::Day, 10},
    {Unit::Month, 1},   {Unit::Month, 3},    {Unit::Month, 6},    {Unit::Year, 1},
    {Unit::Year, 2},    {Unit::Year, 5},     {Unit::Year, 10},    {Unit::Year, 20},
    {Unit::Year, 50},   {Unit::Year, 100},   {Unit::Year, 200},   {Unit::Year, 500},
    {Unit::Year, 1000}};

constexpr int64_t kMinutesPerDay = 1440;

// A local wall-clock time to the minute.
struct Stamp {
  int64_t year;
  int month, day, hour, minute;
};

int64_t FloorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

// Days since 1970-01-01 of a date in the proleptic Gregorian calendar, and back.
int64_t DaysFromCivil(int64_t y, int m, int d) {
  y -= m <= 2;
  const int64_t era = FloorDiv(y, 400);
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

Stamp CivilFromMinutes(int64_t minutes) {
  const int64_t days = FloorDiv(minutes, kMinutesPerDay);
  const auto ofDay = static_cast<int>(minutes - days * kMinutesPerDay);
  const int64_t z = days + 719468;
  const int64_t era = FloorDiv(z, 146097);
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  const auto day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  const auto month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  return {era * 400 + yoe + (month <= 2), month, day, ofDay / 60, ofDay % 60};
}

int DaysInMonth(int64_t y, int m) {
  return static_cast<int>(DaysFromCivil(m == 12 ? y + 1 : y, m == 12 ? 1 : m + 1, 1) -
                          DaysFromCivil(y, m, 1));
}

int64_t ApproxSeconds(Step s) {
  switch (s.unit) {
    case Unit::Minute:
      return s.count * int64_t{60};
    case Unit::Day:
      return s.count * int64_t{86400};
    case Unit::Month:
      return s.count * int64_t{2629746};
    case Unit::Year:
      return s.count * int64_t{31556952};
  }
  return 1;
}

std::string Label(Step step, const Stamp& s) {
  char text[48];
  const auto y = static_cast<long long>(s.year);
  if (step.unit == Unit::Year) {
    std::snprintf(text, sizeof text, "%lld", y);
  } else if (step.unit == Unit::Month) {
    std::snprintf(text, sizeof text, "%04lld/%02d", y, s.month);
  } else if (step.unit == Unit::Day || (s.hour == 0 && s.minute == 0)) {
    std::snprintf(text, sizeof text, "%04lld/%02d/%02d", y, s.month, s.day);
  } else {
    std::snprintf(text, sizeof text, "%02d:%02d", s.hour, s.minute);
  }
  return text;
}

// Every round stamp of the step from the last one at or before `first` to `last`.
std::vector<Stamp> RoundStamps(Step step, const Stamp& first, const Stamp& last) {
  std::vector<Stamp> out;
  const int n = step.count;
  if (step.unit == Unit::Minute) {
    const auto minuteOf = [](const Stamp& s) {
      return DaysFromCivil(s.year, s.month, s.day) * kMinutesPerDay + s.hour * 60 + s.minute;
    };
    const int64_t end = minuteOf(last);
    for (int64_t m = FloorDiv(minuteOf(first), n) * n; m <= end; m += n) {
      out.push_back(CivilFromMinutes(m));
    }
  } else if (step.unit == Unit::Day) {
    // Days 1, 1 + n, ... of each month, while a whole step fits before the month ends.
    for (int64_t k = first.year * 12 + first.month - 1; k <= last.year * 12 + last.month - 1; ++k) {
      const int64_t y = FloorDiv(k, 12);
      const auto m = static_cast<int>(k - y * 12 + 1);
      for (int d = 1; d + n - 1 <= DaysInMonth(y, m); d += n) out.push_back({y, m, d, 0, 0});
    }
  } else if (step.unit == Unit::Month) {
    const int64_t end = last.year * 12 + last.month - 1;
    for (int64_t k = FloorDiv(first.year * 12 + first.month - 1, n) * n; k <= end; k += n) {
      const int64_t y = FloorDiv(k, 12);
      out.push_back({y, static_cast<int>(k - y * 12 + 1), 1, 0, 0});
    }
  } else {
    for (int64_t y = FloorDiv(first.year, n) * n; y <= last.year; y += n) {
      out.push_back({y, 1, 1, 0, 0});
    }
  }
  return out;
}

std::optional<Stamp> LocalStamp(int64_t t) {
  const std::optional<std::tm> tm = ToLocalCalendarAnyYear(t);
  if (!tm) return std::nullopt;
  return Stamp{tm->tm_year + int64_t{1900}, tm->tm_mon + 1, tm->tm_mday, tm->tm_hour, tm->tm_min};
}

std::vector<AxisTick> TicksOf(Step step, int64_t from, int64_t to, const Stamp& first,
                              const Stamp& last) {
  std::vector<AxisTick> ticks;
  for (const Stamp& s : RoundStamps(step, first, last)) {
    const std::optional<int64_t> t =
        FromLocalCalendarAnyYear(static_cast<int>(s.year), s.month, s.day, s.hour, s.minute, 0);
    // A local time that daylight saving skips or repeats can come out of order: leave it out.
    if (!t || *t < from || *t > to || (!ticks.empty() && *t <= ticks.back().time)) continue;
    ticks.push_back({*t, Label(step, s)});
  }
  return ticks;
}

bool LabelsFit(const std::vector<AxisTick>& ticks, int64_t from, int64_t to, int pixels,
               const std::function<int(std::string_view)>& labelWidth) {
  const double scale = static_cast<double>(pixels) / static_cast<double>(to - from);
  for (size_t i = 1; i < ticks.size(); ++i) {
    const double distance = static_cast<double>(ticks[i].time - ticks[i - 1].time) * scale;
    const double needed =
        (labelWidth(ticks[i].label) + labelWidth(ticks[i - 1].label)) / 2.0 + kAxisLabelGap;
    if (distance < needed) return false;
  }
  return true;
}

}  // namespace

std::vector<AxisTick> DateAxisTicks(int64_t from, int64_t to, int pixels,
                                    const std::function<int(std::string_view)>& labelWidth) {
  if (to <= from || pixels <= 0) return {};
  const std::optional<Stamp> first = LocalStamp(from);
  const std::optional<Stamp> last = LocalStamp(to);
  if (!first || !last) return {};
  // Labels a gap apart: no more of them fit, whatever their width.
  const int64_t most = pixels / kAxisLabelGap + 1;
  for (const Step step : kSteps) {
    if ((to - from) / ApproxSeconds(step) > 2 * most) continue;
    std::vector<AxisTick> ticks = TicksOf(step, from, to, *first, *last);
    if (LabelsFit(ticks, from, to, pixels, labelWidth)) return ticks;
  }
  return {};
}

}  // namespace quorvane
