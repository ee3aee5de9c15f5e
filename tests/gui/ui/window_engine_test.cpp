#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QImage>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QtTest/QTest>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "fakes/fake_clock.h"
#include "fakes/fake_socket.h"
#include "fakes/fake_worker.h"
#include "gui/ui_test_support.h"
#include "sntp/sntp_engine.h"
#include "ui/main_window.h"
#include "ui/time_band.h"

namespace quorvane::testing {
namespace {

// The window as the engine's UI, on fake sockets, clock and log.
struct EngineWindowRig {
  WindowRig base;
  FakeSocketFactory sockets;
  RecordingSyncLog log;
  BoxGate gate{base.boxes};
  CountingWorkerLink link;
  std::unique_ptr<Watchdog> watchdog = std::make_unique<Watchdog>(link);
  std::unique_ptr<SntpEngine> engine;

  EngineWindowRig() {
    base.settings.Primary_Server = "primary.test";
    base.settings.ServerInUse = "primary.test";
    CMainWindow& w = base.Make();
    engine = std::make_unique<SntpEngine>(
        EnginePorts{base.settings, w.Ui(), gate, sockets, base.clock, log, *watchdog});
    w.SetEngine(engine.get());
  }
  ~EngineWindowRig() {
    // The window discards the engine's socket as it goes, so it goes first.
    base.window.reset();
    watchdog->Stop([] {}, std::chrono::milliseconds(2000));
  }
  CMainWindow& window() { return *base.window; }
};

TEST(MainWindowEngine, FirstTickPaintsThenStartsTheFirstSync) {
  EngineWindowRig rig;
  rig.base.clock.nowUnixMs = int64_t{1245074709} * 1000;
  rig.window().show();
  TickNow(rig.window());
  EXPECT_FALSE(rig.window().findChild<QPushButton*>("queryButton")->isEnabled());
  ASSERT_EQ(rig.sockets.records.size(), 1u);
  EXPECT_EQ(rig.sockets.Last().connectedHost, "primary.test");
  EXPECT_TRUE(rig.engine->State().SyncRequested);
  EXPECT_FALSE(rig.window().findChild<TimeBand*>("timeBand")->Pixmap().isNull());
}

// A box opened by the engine's part of a tick (here the notice of a connect that timed out)
// waits in its own event loop, as a real one does; the time display goes on meanwhile.
TEST(MainWindowEngine, TimeGoesOnBeingPaintedWhileABoxFromTheTickWaits) {
  EngineWindowRig rig;
  rig.base.settings.Notify_User = 1;
  rig.sockets.duringConnect = [&] { rig.base.clock.AdvanceMs(11000); };
  auto* band = rig.window().findChild<TimeBand*>("timeBand");
  rig.window().show();
  std::set<QString> shownWhileWaiting;
  rig.base.boxes.onShow = [&](const BoxRequest&) {
    QTimer clockRuns;
    QObject::connect(&clockRuns, &QTimer::timeout, [&] {
      rig.base.clock.AdvanceMs(1000);
      shownWhileWaiting.insert(band->ShownText());
    });
    clockRuns.start(100);
    QEventLoop waiting;
    QTimer::singleShot(1500, &waiting, &QEventLoop::quit);
    waiting.exec();
  };
  QTRY_VERIFY_WITH_TIMEOUT(!rig.base.boxes.shown.empty(), 3000);
  EXPECT_EQ(rig.base.boxes.Texts().at(0),
            "Could not connect to the primary server.\nQuorvane switched to the secondary.");
  // About seven ticks in 1.5 s; a held timer would have shown one time throughout.
  EXPECT_GE(shownWhileWaiting.size(), 4u);
}

TEST(MainWindowEngine, WatchdogMessagesStepTheEnginesProgress) {
  EngineWindowRig rig;
  rig.window().ExecuteCommand(cmd::kQueryButton);
  ASSERT_TRUE(rig.engine->State().EngineSocket);
  auto* bar = rig.window().findChild<QProgressBar*>("progressBar");
  rig.window().OnWatchdogStepMessage();
  rig.window().OnWatchdogStepMessage();
  EXPECT_EQ(bar->value(), 14);
  rig.window().OnResetProgressMessage();
  EXPECT_EQ(bar->value(), 0);
}

TEST(MainWindowEngine, TrayCorrectCommandSyncsAndTeardownDiscardsTheSocket) {
  EngineWindowRig rig;
  ActionsWithId(rig.window(), cmd::kCorrectClock).at(0)->trigger();
  ASSERT_TRUE(rig.engine->State().EngineSocket);
  EXPECT_TRUE(rig.engine->State().SyncRequested);
  rig.window().Teardown();
  EXPECT_FALSE(rig.engine->State().EngineSocket);
  EXPECT_TRUE(rig.sockets.Last().closed);
  EXPECT_EQ(rig.base.store.writtenKeys.size(), 4u);
  rig.window().Teardown();
  EXPECT_EQ(rig.base.store.writtenKeys.size(), 4u);
}

TEST(MainWindowEngine, NoTickAfterAConfirmedClose) {
  EngineWindowRig rig;
  rig.window().show();
  ASSERT_TRUE(rig.window().close());
  // The timer is stopped; a tick that still came would find nothing to start here.
  EXPECT_TRUE(rig.sockets.records.empty());
}

// Test results reach the server dialog only while it listens.
TEST(MainWindowEngine, ServerTestResultsGoToTheListenerWhileOneIsSet) {
  struct Listener : ServerTestListener {
    std::vector<std::string> heard;
    void TestSucceeded() override { heard.push_back("succeeded"); }
    void TestFailed() override { heard.push_back("failed"); }
  } listener;
  WindowRig rig;
  WindowEngineUi& ui = rig.Make().Ui();
  ui.SendTestSucceeded();
  ui.SetServerTestListener(&listener);
  ui.SendTestFailed();
  ui.SendTestSucceeded();
  ui.SetServerTestListener(nullptr);
  ui.SendTestFailed();
  EXPECT_EQ(listener.heard, (std::vector<std::string>{"failed", "succeeded"}));
}

// The band shows the text in the foreground colour on the background colour.
TEST(MainWindowTimeBand, DrawsTheTimeInTheChosenColours) {
  struct Case {
    uint32_t fg, bg;
  };
  for (const Case c :
       {Case{kDefaultForeGroundColor, kDefaultBackGroundColor}, Case{0x000000FF, 0x00FFFF00}}) {
    WindowRig rig;
    rig.settings.ForeGroundColor = c.fg;
    rig.settings.BackGroundColor = c.bg;
    rig.clock.nowUnixMs = int64_t{1245074709} * 1000;
    CMainWindow& w = rig.Make();
    w.show();
    w.PaintTime();
    const QImage image = w.findChild<TimeBand*>("timeBand")->Pixmap().toImage();
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.pixelColor(0, 0), ColorFromColorRef(c.bg));
    EXPECT_EQ(image.pixelColor(image.width() - 1, image.height() - 1), ColorFromColorRef(c.bg));
    int textPixels = 0;
    for (int y = 0; y < image.height(); ++y) {
      for (int x = 0; x < image.width(); ++x) {
        if (image.pixelColor(x, y) == ColorFromColorRef(c.fg)) ++textPixels;
      }
    }
    EXPECT_GT(textPixels, 100);
  }
}

// Until the first tick the band shows its background, never an unfilled pixmap.
TEST(MainWindowTimeBand, BeforeTheFirstTickTheBandIsBackground) {
  WindowRig rig;
  rig.settings.BackGroundColor = 0x00336699;
  CMainWindow& w = rig.Make();
  w.show();
  const QImage image = w.findChild<TimeBand*>("timeBand")->Pixmap().toImage();
  ASSERT_FALSE(image.isNull());
  EXPECT_EQ(image.pixelColor(image.width() / 2, image.height() / 2), QColor(0x99, 0x66, 0x33));
}

TEST(MainWindowTimeBand, FrameIsFixedAndTitled) {
  WindowRig rig;
  CMainWindow& w = rig.Make();
  w.show();
  EXPECT_EQ(w.windowTitle(), QStringLiteral("Quorvane v2.0"));
  EXPECT_EQ(w.size(), QSize(500, 190));
  EXPECT_EQ(w.minimumSize(), w.maximumSize());
  EXPECT_FALSE(w.windowFlags() & Qt::WindowMaximizeButtonHint);
  auto* query = w.findChild<QPushButton*>("queryButton");
  auto* sync = w.findChild<QPushButton*>("syncButton");
  EXPECT_EQ(query->geometry(), QRect(0, 0, 250, 25));
  EXPECT_EQ(sync->geometry(), QRect(250, 0, 250, 25));
}

}  // namespace
}  // namespace quorvane::testing
