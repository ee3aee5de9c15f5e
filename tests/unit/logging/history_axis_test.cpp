#include "logging/history_axis.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "base/local_time.h"
#include "support/log_test_files.h"

namespace quorvane::testing {
namespace {

constexpr int kAxisPixels = 740;
int LabelWidth(std::string_view label) { return 7 * static_cast<int>(label.size()); }

// The label a tick at t must carry for its kind of label: its local time read back.
std::string LocalLabel(int64_t t, size_t labelLength) {
  const std::optional<std::tm> tm = ToLocalCalendarAnyYear(t);
  if (!tm) return "(none)";
  char text[32];
  const int y = tm->tm_year + 1900, mo = tm->tm_mon + 1, d = tm->tm_mday;
  const bool midnight = tm->tm_hour == 0 && tm->tm_min == 0 && tm->tm_sec == 0;
  if (labelLength == 5 && tm->tm_sec == 0) {
    std::snprintf(text, sizeof text, "%02d:%02d", tm->tm_hour, tm->tm_min);
  } else if (labelLength == 10 && midnight) {
    std::snprintf(text, sizeof text, "%04d/%02d/%02d", y, mo, d);
  } else if (labelLength == 7 && midnight && d == 1) {
    std::snprintf(text, sizeof text, "%04d/%02d", y, mo);
  } else if (labelLength == 4 && midnight && d == 1 && mo == 1) {
    std::snprintf(text, sizeof text, "%d", y);
  } else {
    return "(not round)";
  }
  return text;
}

TEST(HistoryAxis, TicksFallOnRoundLocalDatesWithLabelsThatNeverOverlap) {
  struct Case {
    const char* what;
    const char* zone;
    int year, month, day, hour, minute;
    int64_t span;
    const char* first;
    const char* second;
  };
  const Case cases[] = {
      {"ten minutes", "UTC", 2026, 12, 8, 10, 0, 600, "10:00", "10:01"},
      {"one day", "UTC", 2026, 12, 8, 1, 30, 86400, "03:00", "06:00"},
      {"one day into summer time", "Europe/Berlin", 2026, 3, 28, 12, 0, 86400, "12:00", "18:00"},
      {"one day in 1950", "Europe/Berlin", 1950, 6, 1, 1, 30, 86400, "03:00", "06:00"},
      {"one year: quarters", "UTC", 2026, 3, 15, 0, 0, 365 * 86400, "2026/04", "2026/07"},
      {"thirty years", "UTC", 1990, 6, 1, 0, 0, 946728000, "1992", "1994"},
      {"three hundred years: decades", "America/New_York", 1750, 6, 1, 0, 0, 9467085600, "1760",
       "1780"},
  };
  for (const Case& c : cases) {
    const ScopedTimeZone zone(c.zone);
    const int64_t from = *FromLocalCalendarAnyYear(c.year, c.month, c.day, c.hour, c.minute, 0);
    const int64_t to = from + c.span;
    const std::vector<AxisTick> ticks = DateAxisTicks(from, to, kAxisPixels, LabelWidth);
    ASSERT_GE(ticks.size(), 2u) << c.what;
    EXPECT_EQ(ticks[0].label, c.first) << c.what;
    EXPECT_EQ(ticks[1].label, c.second) << c.what;
    const double scale = static_cast<double>(kAxisPixels) / static_cast<double>(c.span);
    for (size_t i = 0; i < ticks.size(); ++i) {
      EXPECT_TRUE(ticks[i].time >= from && ticks[i].time <= to) << c.what << " " << ticks[i].label;
      EXPECT_EQ(LocalLabel(ticks[i].time, ticks[i].label.size()), ticks[i].label) << c.what;
      if (i == 0) continue;
      const double gap = static_cast<double>(ticks[i].time - ticks[i - 1].time) * scale -
                         (LabelWidth(ticks[i].label) + LabelWidth(ticks[i - 1].label)) / 2.0;
      EXPECT_GE(gap, kAxisLabelGap) << c.what << " " << ticks[i].label;
    }
  }
}

TEST(HistoryAxis, AnAxisTooNarrowForTwoLabelsGetsOneAtMost) {
  const ScopedTimeZone utc("UTC");
  EXPECT_LE(DateAxisTicks(0, 86400, 10, LabelWidth).size(), 1u);
  EXPECT_TRUE(DateAxisTicks(86400, 0, kAxisPixels, LabelWidth).empty());
}

}  // namespace
}  // namespace quorvane::testing
