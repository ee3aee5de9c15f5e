#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "fakes/fake_clock.h"
#include "fakes/fake_message_boxes.h"
#include "fakes/fake_settings_store.h"
#include "gui/screenshot_support.h"
#include "logging/log_entry.h"
#include "logging/qt/logging_dialog.h"
#include "logging/sync_log.h"
#include "support/log_test_files.h"
#include "support/settings_fixtures.h"

// Grabs the Logging & Statistics dialog into PNGs for a person to look at. Runs only when
// QUORVANE_SHOTS_DIR names a folder, normally under Xvfb with the xcb platform.
namespace quorvane::testing {
namespace {

// A few hundred entries a quarter of an hour apart from four sources, one of them the
// broadcasts, with a failure now and then.
std::string RealLog() {
  const char* sources[] = {"time.example.org", "ntp1.example.net", "Broadcast", "192.0.2.10"};
  AppSettings s;
  s.IntervalNum = "15";
  s.IntervalUnit = "Minute(s)";
  s.Broadcast_Timeout = 10;
  s.Broadcast_Timeout_Unit = "Minute(s)";
  std::string log;
  for (int i = 0; i < 300; ++i) {
    const std::string source = sources[(i / 7) % 4];
    s.Socket_Mode = source == "Broadcast" ? kListenMode : kPollMode;
    s.ServerInUse = source;
    const double correction = ((i * 37) % 200 - 100) / 1000.0 + (i % 3) * 0.000123;
    log += *FormatLogEntry(s, 1246716309 + i * 900, correction, i % 23 == 5 ? 'F' : 'S') + "\r\n";
  }
  return log;
}

TEST(LoggingScreenshots, RealLogAndMissingLog) {
  if (ShotsDir().isEmpty()) GTEST_SKIP() << "QUORVANE_SHOTS_DIR not set";
  QDir().mkpath(ShotsDir());
  for (const bool missing : {false, true}) {
    TempDir dir;
    AppSettings settings;
    FakeSettingsStore store;
    FakeMessageBoxes boxes;
    FakeClock clock;
    LoadDefaults(settings, store, boxes);
    settings.LogFilePath = dir.path() + "/Quorvane.txt";
    settings.Log_Limit_Type = missing ? 0 : 2;
    settings.Log_Time_Limit_Number = 3;
    settings.Log_Time_Limit_Unit = "Days";
    settings.Logs_To_Keep = 2;
    if (!missing) WriteFileBytes(settings.LogFilePath, RealLog());
    TimeDisplay display(settings);
    display.MakeSharedFont();
    SyncLog log(settings, clock, boxes);
    CLoggingDialog dialog({settings, store, boxes, log, display});
    dialog.show();
    Save(dialog, missing ? "logging_missing.png" : "logging_real_log.png");
    EXPECT_EQ(boxes.shown.size(), missing ? 1u : 0u);
  }
}

}  // namespace
}  // namespace quorvane::testing
