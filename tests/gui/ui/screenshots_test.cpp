#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QMenu>
#include <QMenuBar>
#include <QPixmap>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

#include "gui/screenshot_support.h"
#include "gui/ui_test_support.h"
#include "ui/help_dialogs.h"
#include "ui/main_window.h"

// Grabs the main window and the help dialogs into PNGs for a person to look at. Runs only
// when QUORVANE_SHOTS_DIR names a folder, normally under Xvfb with the xcb platform.
namespace quorvane::testing {
namespace {

TEST(Screenshots, MainWindowInBothModesAndTheHelpDialogs) {
  if (ShotsDir().isEmpty()) GTEST_SKIP() << "QUORVANE_SHOTS_DIR not set";
  QDir().mkpath(ShotsDir());
  const int64_t instant = 1798397918;  // 18:58:38 December 27, 2026 in UTC: the widest month
  {
    WindowRig rig;
    rig.clock.nowUnixMs = instant * 1000;
    CMainWindow& w = rig.Make();
    w.show();
    Settle();
    w.PaintTime();
    w.Ui().ShowStatus("Sync @ 14:05:09 June 15, 2009 -- Correction: 0.0123 seconds");
    w.Ui().StepProgress();
    w.Ui().StepProgress();
    w.Ui().StepProgress();
    Save(w, "main_poll.png");
    // What reached the window itself, not only the off-screen band.
    const QImage shot = w.grab().toImage();
    const QWidget* band = w.findChild<QWidget*>("timeBand");
    const QPoint corner = band->mapTo(&w, QPoint(2, 2));
    EXPECT_EQ(shot.pixelColor(corner), QColor(0, 128, 255));
    int text = 0;
    for (int y = 0; y < shot.height(); ++y) {
      for (int x = 0; x < shot.width(); ++x) text += shot.pixelColor(x, y) == QColor(249, 192, 0);
    }
    EXPECT_GT(text, 500);
    std::printf("band %d,%d %dx%d; text pixels %d\n", band->mapTo(&w, QPoint()).x(),
                band->mapTo(&w, QPoint()).y(), band->width(), band->height(), text);
  }
  {
    WindowRig rig;
    rig.settings.Socket_Mode = kListenMode;
    rig.settings.ForeGroundColor = 0x00FFFFFF;
    rig.settings.BackGroundColor = 0x00400000;
    CMainWindow& w = rig.Make();
    w.Ui().UpdateModeUi();
    rig.clock.nowUnixMs = (instant - 3600 * 24 * 200) * 1000;
    w.show();
    Settle();
    w.PaintTime();
    Save(w, "main_listen.png");
    QMenu* barOptions = w.menuBar()->actions().at(2)->menu();
    barOptions->popup(w.geometry().center());
    Save(*barOptions, "menu_options.png");
    barOptions->hide();
    QMenu* contextOptions = w.ContextMenu()->actions().at(1)->menu();
    contextOptions->popup(w.geometry().center());
    Save(*contextOptions, "context_options.png");
    contextOptions->hide();
  }
  {
    CHelpAboutDialog about([] {});
    about.show();
    Save(about, "about.png");
    CHelpWhatToDoDialog instructions;
    instructions.show();
    Save(instructions, "instructions.png");
  }
}

TEST(Screenshots, LongStatusTexts) {
  if (ShotsDir().isEmpty()) GTEST_SKIP() << "QUORVANE_SHOTS_DIR not set";
  QDir().mkpath(ShotsDir());
  WindowRig rig;
  rig.clock.nowUnixMs = int64_t{1798397918} * 1000;
  CMainWindow& w = rig.Make();
  w.show();
  Settle();
  w.PaintTime();
  const struct {
    const char* file;
    const char* text;
  } shots[] = {
      {"status_query.png",
       "Server Timestamp: 18:58:38 September 27, 2026... Delta: -3599.999 seconds"},
      {"status_limit.png", "Sync Error: Timestamp differential exceeds Maximum Correction Limit"},
      {"status_nine_digits.png",
       "Server Timestamp: 18:58:38 September 27, 2026... Delta: -123456789.000 seconds"},
  };
  for (const auto& shot : shots) {
    w.Ui().ShowStatus(shot.text);
    w.Ui().StepProgress();
    Save(w, shot.file);
  }
}

}  // namespace
}  // namespace quorvane::testing
