#include <gtest/gtest.h>

#include <QLabel>
#include <QTimer>
#include <optional>

#include "fakes/fake_socket.h"
#include "fakes/fake_worker.h"
#include "gui/server_config/server_dialog_rig.h"
#include "gui/ui_test_support.h"
#include "server_config/qt/servers_command.h"

namespace quorvane::testing {
namespace {

// The Servers command from the main window's registry, with the engine writing to the window.
struct CommandRig {
  WindowRig window;
  TempDir dir;
  BoxGate gate{window.boxes};
  FakeSocketFactory sockets;
  RecordingSyncLog log;
  CountingWorkerLink link;
  Watchdog watchdog{link};
  PosixListFileOps files;
  std::unique_ptr<SntpEngine> engine;

  CommandRig() {
    window.settings.ProgramDirectory = dir.path() + "/";
    window.settings.Secondary_Server = "second.test";
    CMainWindow& w = window.Make();
    engine = std::make_unique<SntpEngine>(
        EnginePorts{window.settings, w.Ui(), gate, sockets, window.clock, log, watchdog});
    w.SetEngine(engine.get());
    w.Commands().Register(cmd::kServers, [this, &w] {
      RunServersCommand(ServersCommandPorts{window.settings, window.store, window.boxes, *engine,
                                            w.Ui(), files, &w});
    });
  }
  // The window discards the engine's socket as it goes, so it goes first.
  ~CommandRig() { window.window.reset(); }
  // Runs the command; `act` works the dialog while it is modal, then closes it.
  void Run(const std::function<void(CTimeBaseDialog&)>& act) {
    QTimer::singleShot(0, [&] {
      auto* d = qobject_cast<CTimeBaseDialog*>(QApplication::activeModalWidget());
      ASSERT_NE(d, nullptr);
      act(*d);
    });
    window.window->ExecuteCommand(cmd::kServers);
  }
  std::string Status() const {
    return window.window->findChild<QLabel*>("statusText")->text().toStdString();
  }
};

QLineEdit* Field(CTimeBaseDialog& d, const char* name) { return d.findChild<QLineEdit*>(name); }
void Click(CTimeBaseDialog& d, const char* name) { d.findChild<QPushButton*>(name)->click(); }

TEST(ServersCommand, CancelAfterATestTakesNothingAndPointsBackAtTheServerInUse) {
  CommandRig r;
  r.window.settings.UsingServer = 2;
  r.window.settings.ServerInUse = "second.test";
  r.window.store.writtenKeys.clear();
  r.Run([&](CTimeBaseDialog& d) {
    EXPECT_TRUE(r.engine->State().ServerTest.OpenServerDialog);
    Field(d, "primaryServerEdit")->setText("tested.example");
    Click(d, "testPrimaryButton");
    EXPECT_EQ(r.window.settings.ServerInUse, "tested.example");
    Field(d, "intervalCountEdit")->setText("9");
    Click(d, "cancelButton");
  });
  EXPECT_TRUE(r.window.store.writtenKeys.empty());
  EXPECT_EQ(r.window.settings.ServerInUse, "second.test");
  EXPECT_EQ(r.window.settings.IntervalNum, "1");
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(r.dir.path()) / "Quorvane.ini"));
  // The pending test went with the dialog: the engine is no longer silenced.
  EXPECT_FALSE(r.engine->State().ServerTest.OpenServerDialog);
  EXPECT_EQ(r.engine->State().ServerTest.ServerTestTarget, 0);
  EXPECT_NE(r.Status(), "Server configuration changes saved.");
}

TEST(ServersCommand, OkAppliesWritesAndMakesThePrimaryTheServerInUse) {
  CommandRig r;
  AppSettings& s = r.window.settings;
  s.UsingServer = 2;
  s.ServerInUse = "second.test";
  r.engine->MutableState().FailoverSinceReply = true;
  r.window.store.writtenKeys.clear();
  r.window.boxes.shown.clear();
  r.Run([&](CTimeBaseDialog& d) {
    Field(d, "primaryServerEdit")->setText("new.primary");
    Field(d, "intervalCountEdit")->setText("5");
    d.findChild<QComboBox*>("intervalUnitList")->setCurrentIndex(1);
    Click(d, "okButton");
  });
  EXPECT_EQ(r.window.store.writtenKeys,
            (std::vector<std::string>{"Notify_User", "Primary_Server", "Secondary_Server",
                                      "SyncInterval", "IntervalNum", "IntervalUnit",
                                      "MaxCorrectionNum", "MaxCorrectionUnit"}));
  EXPECT_EQ(s.Primary_Server, "new.primary");
  EXPECT_EQ(s.ServerInUse, "new.primary");
  EXPECT_EQ(s.UsingServer, 1);
  EXPECT_EQ(s.SyncInterval, 300);
  EXPECT_FALSE(r.engine->State().FailoverSinceReply);
  EXPECT_EQ(r.Status(), "Server configuration changes saved.");
  // The missing list at opening, then a new list with no entries.
  EXPECT_EQ(r.window.boxes.Texts(), (std::vector<std::string>{kListFileMissingText}));
  EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(r.dir.path()) / "Quorvane.ini"));
}

TEST(ServersCommand, TheTimerStartsNoPollWhileTheDialogIsOpen) {
  CommandRig r;
  r.engine->OnTimerTick();  // the first tick's sync
  r.engine->EndAttempt("");
  const size_t sent = r.sockets.RequestsSent();
  r.engine->MutableState().FirstPollPending = true;
  r.Run([&](CTimeBaseDialog& d) {
    for (int i = 0; i < 5; ++i) TickNow(*r.window.window);
    EXPECT_EQ(r.sockets.RequestsSent(), sent);
    d.reject();
  });
  TickNow(*r.window.window);
  EXPECT_EQ(r.sockets.RequestsSent(), sent + 1);
}

TEST(ServersCommand, ATickDuringTheMissingListBoxAtOpeningStartsNoSync) {
  CommandRig r;
  r.engine->OnTimerTick();  // the first tick's sync
  r.engine->EndAttempt("");
  const size_t sent = r.sockets.RequestsSent();
  r.engine->MutableState().FirstPollPending = true;
  std::optional<size_t> sentDuringBox;
  r.window.boxes.onShow = [&](const BoxRequest& box) {
    if (box.text != kListFileMissingText) return;
    r.window.window->Tick();
    sentDuringBox = r.sockets.RequestsSent();
  };
  r.Run([](CTimeBaseDialog& d) { d.reject(); });
  ASSERT_TRUE(sentDuringBox.has_value());
  EXPECT_EQ(*sentDuringBox, sent);
  EXPECT_FALSE(r.engine->State().ServerTest.OpenServerDialog);
}

}  // namespace
}  // namespace quorvane::testing
