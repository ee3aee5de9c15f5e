#include "logging/qt/correction_history_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>

#include "fakes/fake_message_boxes.h"
#include "gui/ui_test_support.h"
#include "logging/log_entry.h"
#include "logging/qt/correction_chart.h"
#include "support/log_test_files.h"
#include "ui/command_ids.h"

namespace quorvane::testing {
namespace {

constexpr int64_t kStart = 1246716000;  // 2009/07/04 14:00:00 UTC

// A day of hourly polls alternating between two servers from a clock that loses 12 s a
// day, one of them failed.
std::string KnownLog() {
  AppSettings s;
  s.Socket_Mode = kPollMode;
  s.IntervalNum = "1";
  s.IntervalUnit = "Hour(s)";
  std::string log;
  for (int i = 0; i < 25; ++i) {
    s.ServerInUse = i % 2 == 0 ? "ntp1.example.net" : "192.0.2.10";
    const bool failed = i == 7;
    // The poll after the failure makes up for two hours.
    const double correction = i == 8 ? 1.0 : 0.5;
    log += *FormatLogEntry(s, kStart + i * 3600, correction, failed ? 'F' : 'S') + "\r\n";
  }
  return log;
}

struct WindowFixture {
  TempDir dir;
  FakeMessageBoxes boxes;
  std::string log = dir.path() + "/Quorvane.txt";
  QString imagePath;
  std::unique_ptr<CCorrectionHistoryWindow> Make() {
    auto w = std::make_unique<CCorrectionHistoryWindow>(log, boxes, nullptr,
                                                        [this](QWidget*) { return imagePath; });
    w->resize(900, 640);
    w->show();
    ProcessPostedEvents();
    return w;
  }
};

TEST(CorrectionHistoryMenu, ViewMenuEndsWithTheItemAfterASeparator) {
  WindowRig rig;
  CMainWindow& w = rig.Make();
  QMenu* view = nullptr;
  for (QAction* a : w.menuBar()->actions()) {
    if (a->text() == "&View") view = a->menu();
  }
  ASSERT_NE(view, nullptr);
  const QList<QAction*> items = view->actions();
  ASSERT_GE(items.size(), 2);
  EXPECT_TRUE(items[items.size() - 2]->isSeparator());
  QAction* history = items.back();
  EXPECT_EQ(history->text().toStdString(), "Correction &History...");
  EXPECT_EQ(history->data().toInt(), cmd::kCorrectionHistory);
  EXPECT_EQ(history->statusTip().toStdString(),
            "Shows every logged correction over time and the clock's drift");
  EXPECT_EQ(ActionsWithId(w, cmd::kCorrectionHistory).size(), 1);
}

TEST(CorrectionHistoryWindow, KnownLogShowsSeriesLegendAndDrift) {
  WindowFixture f;
  WriteFileBytes(f.log, KnownLog());
  auto w = f.Make();
  EXPECT_EQ(w->windowTitle().toStdString(), "Correction History");
  const CorrectionChart& chart = w->Chart();
  std::vector<std::tuple<std::string, bool, size_t>> series;
  for (const ChartSeries& s : chart.Series()) {
    series.emplace_back(w->History().sources[s.source], s.success, s.time.size());
  }
  EXPECT_EQ(
      series,
      (std::vector<std::tuple<std::string, bool, size_t>>{
          {"ntp1.example.net", true, 13}, {"192.0.2.10", true, 11}, {"192.0.2.10", false, 1}}));
  EXPECT_EQ(
      chart.LegendTexts(),
      (QStringList{"ntp1.example.net", "192.0.2.10", "Successful correction", "Failed correction",
                   "Running sum of successful corrections (right axis)", "Drift fit"}));
  const auto* drift = w->findChild<QLabel*>("driftText");
  ASSERT_NE(drift, nullptr);
  EXPECT_EQ(drift->text().toStdString(),
            "Drift: +12.000 s per day (+138.89 ppm): the clock loses time. "
            "From 24 successful corrections over 1 day 0 hours.");
  EXPECT_EQ(w->findChild<QLabel*>("historySummary")->text().toStdString(),
            "25 entries from 1 file.");
  EXPECT_TRUE(f.boxes.shown.empty());
}

TEST(CorrectionHistoryWindow, TooltipNamesTheNearestPoint) {
  WindowFixture f;
  WriteFileBytes(f.log, KnownLog());
  auto w = f.Make();
  CorrectionChart& chart = w->Chart();
  // The only point above +0.75 s is the 1.0 s correction of 22:00.
  QString found;
  for (int x = 0; x < chart.width() && found.isEmpty(); ++x) {
    for (int y = 0; y < chart.height() / 2 && found.isEmpty(); y += 2) {
      const QString text = chart.ToolTipAt(QPoint(x, y));
      if (text.contains("+1.000000")) found = text;
    }
  }
  EXPECT_EQ(found.toStdString(),
            "2009/07/04 22:00:00\nCorrection: +1.000000 s\nSource: ntp1.example.net\n"
            "Status: S (success)");
  EXPECT_TRUE(chart.ToolTipAt(QPoint(2, 2)).isEmpty());
}

TEST(CorrectionHistoryWindow, DragZoomsAndWholeSpanGoesBack) {
  WindowFixture f;
  WriteFileBytes(f.log, KnownLog());
  auto w = f.Make();
  CorrectionChart& chart = w->Chart();
  const int64_t from = chart.From(), to = chart.To();
  EXPECT_EQ(to - from, 24 * 3600);
  const int y = chart.height() / 4;
  const auto send = [&](QEvent::Type type, int x, Qt::MouseButtons buttons) {
    QMouseEvent e(type, QPointF(x, y), chart.mapToGlobal(QPointF(x, y)), Qt::LeftButton, buttons,
                  Qt::NoModifier);
    QApplication::sendEvent(&chart, &e);
  };
  const int left = 80 + (chart.width() - 160) / 4, right = 80 + (chart.width() - 160) / 2;
  send(QEvent::MouseButtonPress, left, Qt::LeftButton);
  send(QEvent::MouseMove, right, Qt::LeftButton);
  send(QEvent::MouseButtonRelease, right, Qt::NoButton);
  EXPECT_NEAR(static_cast<double>(chart.From() - from), 6 * 3600, 300);
  EXPECT_NEAR(static_cast<double>(chart.To() - from), 12 * 3600, 300);
  size_t drawn = 0, inRange = 0;
  for (const size_t n : chart.DrawnCounts()) drawn += n;
  for (const ChartSeries& s : chart.Series()) {
    for (const int64_t t : s.time) inRange += t >= chart.From() && t <= chart.To() ? 1 : 0;
  }
  EXPECT_GE(inRange, 6u);
  EXPECT_EQ(drawn, inRange);
  w->findChild<QPushButton*>("wholeSpanButton")->click();
  EXPECT_EQ(chart.From(), from);
  EXPECT_EQ(chart.To(), to);
}

TEST(CorrectionHistoryWindow, SaveImageWritesAPngOrSaysItCannot) {
  WindowFixture f;
  WriteFileBytes(f.log, KnownLog());
  auto w = f.Make();
  f.imagePath = QString::fromStdString(f.dir.path() + "/chart.png");
  w->findChild<QPushButton*>("saveImageButton")->click();
  const std::optional<std::string> bytes = ReadFileBytes(f.imagePath.toStdString());
  ASSERT_TRUE(bytes.has_value());
  EXPECT_EQ(bytes->substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
  EXPECT_TRUE(f.boxes.shown.empty());

  f.imagePath = QString::fromStdString(f.dir.path() + "/no/such/folder/chart.png");
  w->findChild<QPushButton*>("saveImageButton")->click();
  ASSERT_EQ(f.boxes.shown.size(), 1u);
  EXPECT_EQ(f.boxes.shown[0].text, "The image could not be saved: " + f.imagePath.toStdString());
  f.imagePath.clear();  // cancelled: nothing written, nothing said
  w->findChild<QPushButton*>("saveImageButton")->click();
  EXPECT_EQ(f.boxes.shown.size(), 1u);
}

TEST(CorrectionHistoryWindow, BadLogsStillOpenTheWindow) {
  struct Case {
    const char* name;
    std::string log;
    bool backupIsDirectory;
    std::string backup = "";
    const char* summary = nullptr;
  };
  const Case cases[] = {
      {"missing log", "", false},
      {"unreadable dates and corrections",
       "2009/02/30,01:00:00,+0.1,a,1,H,S\r\n"
       "2009/07/04,01:00:00,abc,a,1,H,S\r\n",
       true},
      {"going back in time",
       "2009/07/04,05:00:00,+0.1,a,1,H,S\r\n"
       "2009/07/04,01:00:00,+0.1,a,1,H,F\r\n"
       "2009/07/03,01:00:00,-30.0,a,1,H,S\r\n"
       "2009/07/05,01:00:00,+0.1,a,1,H,S\r\n",
       false},
      {"a log and its backup", "2009/07/04,05:00:00,+0.1,a,1,H,S\r\n", false,
       "1969/07/20,20:17:00,+0.1,a,1,H,S\r\n", "2 entries from 2 files."},
  };
  for (const Case& c : cases) {
    WindowFixture f;
    if (!c.log.empty()) WriteFileBytes(f.log, c.log);
    if (c.backupIsDirectory) std::filesystem::create_directory(f.log + ".1");
    if (!c.backup.empty()) WriteFileBytes(f.log + ".1", c.backup);
    auto w = f.Make();
    w->grab();  // paints without crashing
    EXPECT_TRUE(w->isVisible()) << c.name;
    EXPECT_TRUE(f.boxes.shown.empty()) << c.name;
    if (c.summary != nullptr) {
      EXPECT_EQ(w->findChild<QLabel*>("historySummary")->text().toStdString(), c.summary);
    }
  }
}

TEST(CorrectionHistoryWindow, CommandOpensItModalWithAClose) {
  WindowFixture f;
  WriteFileBytes(f.log, KnownLog());
  AppSettings settings;
  settings.LogFilePath = f.log;
  CommandRegistry commands;
  RegisterCorrectionHistoryCommand(commands, nullptr, settings, f.boxes);
  bool modal = false;
  QTimer::singleShot(0, [&] {
    auto* w = qobject_cast<CCorrectionHistoryWindow*>(QApplication::activeModalWidget());
    ASSERT_NE(w, nullptr);
    modal = w->isModal() && w->isVisible();
    w->findChild<QPushButton*>("closeButton")->click();
  });
  commands.Run(cmd::kCorrectionHistory);
  EXPECT_TRUE(modal);
}

}  // namespace
}  // namespace quorvane::testing
