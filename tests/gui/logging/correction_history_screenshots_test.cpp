#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <cstdlib>
#include <random>
#include <string>

#include "fakes/fake_message_boxes.h"
#include "gui/screenshot_support.h"
#include "logging/log_entry.h"
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
