#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QTimer>
#include <cstdlib>

#include "fakes/fake_socket.h"
#include "fakes/fake_worker.h"
#include "gui/screenshot_support.h"
#include "gui/ui_test_support.h"
#include "platform/qt/message_boxes.h"
#include "server_config/qt/broadcast_timeout_dialog.h"
#include "sntp/listen_mode.h"
#include "sntp/socket_error_text.h"
#include "support/engine_test_support.h"

// Grabs the Broadcast Timeout dialog, the main window after a broadcast, and the boxes of
// listen mode into PNGs for a person to look at. Runs only when QUORVANE_SHOTS_DIR names a
// folder, normally under Xvfb with the xcb platform.
namespace quorvane::testing {
namespace {

// The main window with a real engine on fake sockets, in listen mode, with real boxes.
struct ListenWindowRig {
  WindowRig rig;
  QtMessageBoxes screen{QStringLiteral("Quorvane")};
  BoxGate gate{screen};
  FakeSocketFactory sockets;
  RecordingSyncLog log;
  CountingWorkerLink link;
  Watchdog watchdog{link};
  std::unique_ptr<SntpEngine> engine;

  CMainWindow& Make() {
    rig.settings.Socket_Mode = kListenMode;
    rig.settings.RecomputeCorrectionLimit(rig.boxes);
    CMainWindow& w = rig.Make();
    screen.SetMainWindow(&w);
    engine = std::make_unique<SntpEngine>(
        EnginePorts{rig.settings, w.Ui(), gate, sockets, rig.clock, log, watchdog});
    w.SetEngine(engine.get());
    return w;
  }
  ~ListenWindowRig() {
    if (rig.window) rig.window->SetEngine(nullptr);
  }
};

// Saves the next box as it opens, then answers it.
void SaveNextBox(const QString& name) {
  QTimer::singleShot(300, [name] {
    QWidget* box = QApplication::activeModalWidget();
    ASSERT_NE(box, nullptr) << name.toStdString();
    Save(*box, name);
    qobject_cast<QMessageBox*>(box)->accept();
  });
}

TEST(ListenScreenshots, DialogWindowAfterABroadcastAndTheBoxes) {
  if (ShotsDir().isEmpty()) GTEST_SKIP() << "QUORVANE_SHOTS_DIR not set";
  QDir().mkpath(ShotsDir());
  {
    EngineRig engine;
    FakeSettingsStore store;
    LoadDefaults(engine.settings, store, engine.boxes);
    CBroadcastTimeoutDlg dialog(
        {engine.settings, store, engine.boxes, engine.engine.MutableState().BroadcastTickCount});
    dialog.show();
    Save(dialog, "broadcast_timeout_dialog.png");
  }
  ListenWindowRig r;
  r.rig.clock.nowUnixMs = int64_t{1798397918} * 1000;
  CMainWindow& w = r.Make();
  w.show();
  Settle();
  TickNow(w);  // opens the listening socket
  std::vector<uint8_t> broadcast = Reply(0, r.rig.clock.ReadLocalClock() + 0.0042);
  broadcast[0] = 0x25;
  r.sockets.Deliver(broadcast);
  w.PaintTime();
  EXPECT_EQ(r.log.entries.size(), 1u);
  Save(w, "main_listen_after_broadcast.png");

  r.rig.settings.BroadcastTimeoutMs = 1000;
  SaveNextBox("no_broadcast_warning.png");
  for (int i = 0; i < 5; ++i) TickNow(w);

  SaveNextBox("bind_error_box.png");
  r.engine->DiscardSocket();
  r.sockets.bindError = wsa::kAddrInUse;
  QTimer::singleShot(600, [] { SaveNextBox("bind_explanation_box.png"); });
  TickNow(w);
  EXPECT_EQ(r.rig.settings.Socket_Mode, kPollMode);
}

}  // namespace
}  // namespace quorvane::testing
