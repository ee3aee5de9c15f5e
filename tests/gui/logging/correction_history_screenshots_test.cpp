#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "fakes/fake_message_boxes.h"
#include "gui/screenshot_support.h"
#include "logging/log_entry.h"
#include "logging/qt/correction_chart.h"
#include "logging/qt/correction_history_window.h"
#include "support/log_test_files.h"

// Grabs the Correction History window into PNGs for a person to look at. Runs only when
// QUORVANE_SHOTS_DIR names a folder, normally under Xvfb with the xcb platform.
namespace quorvane::testing {
namespace {

// `count` polls `step` seconds apart from two servers, from a clock losing 12 s a day,
// with noise, one manual clock change of 30 s and a failure every `failEvery` polls.
std::string Log(int count, int step, int failEvery) {
  AppSettings s;
  s.Socket_Mode = kPollMode;
  s.IntervalNum = "1";
  s.IntervalUnit = "Hour(s)";
  std::mt19937 random(3);
  std::normal_distribution<double> noise(0.0, 0.04);
  std::string log;
  double lastError = 0.0, owed = 0.0;
  for (int i = 0; i < count; ++i) {
    s.ServerInUse = i % 3 == 0 ? "192.0.2.10" : "ntp1.example.net";
    const double e = noise(random);
    owed += 12.0 / 86400 * step;
    double correction = owed + e - lastError + (i == count / 3 ? 30.0 : 0.0);
    const bool failed = i % failEvery == failEvery / 2;
    if (!failed) {
      lastError = e;
      owed = 0.0;
    } else {
      correction = e;
    }
    log += *FormatLogEntry(s, 1246716000 + int64_t{i} * step, correction, failed ? 'F' : 'S');
    log += "\r\n";
  }
  return log;
}

// `count` successful polls evenly over `span` seconds of local time from `start`, written
// by hand so that dates before 1970 can be among them.
std::string SpanLog(std::chrono::sys_seconds start, int64_t span, int count) {
  std::mt19937 random(5);
  std::normal_distribution<double> noise(0.0, 0.04);
  const int64_t step = span / (count - 1);
  std::string log;
  for (int i = 0; i < count; ++i) {
    const auto t = start + std::chrono::seconds(int64_t{i} * step);
    const auto day = std::chrono::floor<std::chrono::days>(t);
    const std::chrono::year_month_day date(day);
    const std::chrono::hh_mm_ss clock(t - day);
    char line[128];
    std::snprintf(line, sizeof line, "%04d/%02u/%02u,%02lld:%02lld:%02lld,%+.6f,%s,1,H,S\r\n",
                  static_cast<int>(date.year()), static_cast<unsigned>(date.month()),
                  static_cast<unsigned>(date.day()), static_cast<long long>(clock.hours().count()),
                  static_cast<long long>(clock.minutes().count()),
                  static_cast<long long>(clock.seconds().count()),
                  12.0 / 86400 * static_cast<double>(step) + noise(random),
                  i % 3 == 0 ? "192.0.2.10" : "ntp1.example.net");
    log += line;
  }
  return log;
}

TEST(CorrectionHistoryScreenshots, DateAxisAtEverySpan) {
  if (ShotsDir().isEmpty()) GTEST_SKIP() << "QUORVANE_SHOTS_DIR not set";
  QDir().mkpath(ShotsDir());
  using std::chrono::sys_days;
  using namespace std::chrono_literals;
  struct Shot {
    const char* file;
    std::string log;
  };
  const Shot shots[] = {
      {"history_span_1_day.png", SpanLog(sys_days{2026y / 12 / 7} + 9h + 20min, 86400, 97)},
      {"history_span_1_year.png", SpanLog(sys_days{2025y / 12 / 20}, 365 * 86400, 366)},
      {"history_span_30_years.png", SpanLog(sys_days{1996y / 8 / 1}, 946728000, 1000)},
      {"history_span_300_years.png", SpanLog(sys_days{1726y / 8 / 1}, 9467085600, 3000)},
  };
  for (const Shot& shot : shots) {
    TempDir dir;
    FakeMessageBoxes boxes;
    WriteFileBytes(dir.path() + "/Quorvane.txt", shot.log);
    CCorrectionHistoryWindow window(dir.path() + "/Quorvane.txt", boxes);
    window.resize(1000, 680);
    window.show();
    window.Chart().setFocus();
    Save(window, shot.file);
    EXPECT_EQ(window.History().skippedLines, 0) << shot.file;
  }
}

TEST(CorrectionHistoryScreenshots, WeekMillionAndTooShort) {
  if (ShotsDir().isEmpty()) GTEST_SKIP() << "QUORVANE_SHOTS_DIR not set";
  QDir().mkpath(ShotsDir());
  struct Shot {
    const char* file;
    std::string log;
  };
  const Shot shots[] = {
      {"history_week.png", Log(24 * 7, 3600, 61)},
      {"history_million.png", Log(1'000'000, 30, 4999)},
      {"history_too_short.png", Log(2, 3600, 1000)},
  };
  for (const Shot& shot : shots) {
    TempDir dir;
    FakeMessageBoxes boxes;
    WriteFileBytes(dir.path() + "/Quorvane.txt", shot.log);
    CCorrectionHistoryWindow window(dir.path() + "/Quorvane.txt", boxes);
    window.resize(1000, 680);
    window.show();
    for (int i = 0; i < 20; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_TRUE(window.grab().save(QDir(ShotsDir()).filePath(shot.file))) << shot.file;
    EXPECT_TRUE(boxes.shown.empty());
  }
}

}  // namespace
}  // namespace quorvane::testing
