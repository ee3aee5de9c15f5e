#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QColorDialog>
#include <QDesktopServices>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "gui/ui_test_support.h"
#include "platform/linux/autostart.h"
#include "ui/main_window.h"

namespace quorvane::testing {
namespace {

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST(MainWindowCommands, ResetColorsSetsTheDefaultsAndWritesNothing) {
  WindowRig rig;
  rig.settings.ForeGroundColor = 0x00123456;
  rig.settings.BackGroundColor = 0x00654321;
  CMainWindow& w = rig.Make();
  for (QAction* a : ActionsWithId(w, cmd::kResetColors)) {
    rig.settings.ForeGroundColor = 0x00123456;
    rig.settings.BackGroundColor = 0x00654321;
    a->trigger();
    EXPECT_EQ(rig.settings.ForeGroundColor, 0x0000C0F9u);
    EXPECT_EQ(rig.settings.BackGroundColor, 0x00FF8000u);
  }
  EXPECT_TRUE(rig.store.writtenKeys.empty());
}

TEST(MainWindowCommands, ColourChoiceBecomesTheColorrefOfItsCommand) {
  struct Case {
    int id;
    std::optional<QColor> chosen;
    uint32_t foreground, background;
  };
  const uint32_t fg = 0x00010203, bg = 0x00040506;
  const Case cases[] = {
      {cmd::kForegroundColor, QColor(0x11, 0x22, 0x33), 0x00332211, bg},
      {cmd::kBackgroundColor, QColor(0xFF, 0x00, 0x80), fg, 0x008000FF},
      {cmd::kForegroundColor, std::nullopt, fg, bg},
      {cmd::kBackgroundColor, std::nullopt, fg, bg},
  };
  for (const Case& c : cases) {
    WindowRig rig;
    rig.settings.ForeGroundColor = fg;
    rig.settings.BackGroundColor = bg;
    std::vector<QColor> initials;
    rig.desktop.chooseColor = [&](const QColor& initial) {
      initials.push_back(initial);
      return c.chosen;
    };
    CMainWindow& w = rig.Make();
    w.ExecuteCommand(c.id);
    ASSERT_EQ(initials.size(), 1u);
    EXPECT_EQ(initials[0], QColor(0x55, 0x55, 0x00));
    EXPECT_EQ(rig.settings.ForeGroundColor, c.foreground) << c.id;
    EXPECT_EQ(rig.settings.BackGroundColor, c.background) << c.id;
    EXPECT_TRUE(rig.store.writtenKeys.empty());
  }
}

// The real dialog: it opens on the fixed start colour with sixteen black custom colours,
// even after an earlier call left others, and Cancel changes nothing.
TEST(MainWindowCommands, ColourDialogCancelChangesNothing) {
  WindowRig rig;
  CMainWindow& w = rig.Make();
  const uint32_t fg = rig.settings.ForeGroundColor;
  const uint32_t bg = rig.settings.BackGroundColor;
  QColorDialog::setCustomColor(3, QColor(Qt::red));
  bool seen = false;
  QColor start;
  int blackCustoms = 0;
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<QColorDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    seen = true;
    start = dialog->currentColor();
    for (int i = 0; i < QColorDialog::customCount(); ++i) {
      if (QColorDialog::customColor(i) == QColor(Qt::black)) ++blackCustoms;
    }
    dialog->setCurrentColor(QColor(1, 2, 3));
    dialog->reject();
  });
  w.ExecuteCommand(cmd::kForegroundColor);
  EXPECT_TRUE(seen);
  EXPECT_EQ(start, QColor(0x55, 0x55, 0x00));
  EXPECT_EQ(blackCustoms, 16);
  EXPECT_EQ(rig.settings.ForeGroundColor, fg);
  EXPECT_EQ(rig.settings.BackGroundColor, bg);
}

TEST(MainWindowCommands, ColourDialogOkStoresTheChoice) {
  WindowRig rig;
  CMainWindow& w = rig.Make();
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<QColorDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    dialog->setCurrentColor(QColor(10, 20, 30));
    dialog->accept();
  });
  w.ExecuteCommand(cmd::kBackgroundColor);
  EXPECT_EQ(rig.settings.BackGroundColor, 0x001E140Au);
}

TEST(MainWindowCommands, OptionTogglesAndTheirStoreWrites) {
  struct Case {
    int id;
    int32_t AppSettings::*field;
    const char* writtenKey;  // nullptr: saved only when the window goes
  };
  const Case cases[] = {
      {cmd::kMinimizeToTray, &AppSettings::MinimizeToTray, nullptr},
      {cmd::kStartMinimized, &AppSettings::StartMinimized, "StartMinimized"},
      {cmd::kRunAtStartup, &AppSettings::RunAtStartup, "RunAtStartup"},
  };
  for (const Case& c : cases) {
    WindowRig rig;
    CMainWindow& w = rig.Make();
    const int32_t start = rig.settings.*c.field;
    // Once from the bar, once from the right-click menu: the marks follow in both.
    for (int round = 0; round < 2; ++round) {
      ActionsWithId(w, c.id).at(round)->trigger();
      const int32_t now = rig.settings.*c.field;
      EXPECT_EQ(now, round == 0 ? 1 - start : start) << c.id;
      for (QAction* a : ActionsWithId(w, c.id)) EXPECT_EQ(a->isChecked(), now == 1) << c.id;
      if (c.writtenKey == nullptr) {
        EXPECT_TRUE(rig.store.writtenKeys.empty()) << c.id;
      } else {
        EXPECT_EQ(rig.store.writtenKeys.size(), static_cast<size_t>(round + 1));
        EXPECT_EQ(std::get<int32_t>(rig.store.values.at(c.writtenKey)), now) << c.id;
      }
    }
  }
}

TEST(MainWindowCommands, RunAtStartupWritesAndRemovesTheAutostartEntry) {
  WindowRig rig;
  CMainWindow& w = rig.Make("/opt/My Apps/Quorvane");
  const auto entry = rig.home.path() / "autostart" / "Quorvane.desktop";
  w.ExecuteCommand(cmd::kRunAtStartup);
  EXPECT_EQ(ReadFile(entry), AutostartEntryText("/opt/My Apps/Quorvane"));
  EXPECT_NE(ReadFile(entry).find("Exec=\"/opt/My Apps/Quorvane\"\n"), std::string::npos);
  w.ExecuteCommand(cmd::kRunAtStartup);
  EXPECT_FALSE(std::filesystem::exists(entry));
  EXPECT_EQ(rig.settings.RunAtStartup, 0);
}

// A config folder that is a plain file cannot hold the entry: the option still toggles.
TEST(MainWindowCommands, RunAtStartupAbsorbsAnUnwritableFolder) {
  WindowRig rig;
  { std::ofstream(rig.home.path() / "autostart") << "not a folder"; }
  CMainWindow& w = rig.Make();
  w.ExecuteCommand(cmd::kRunAtStartup);
  EXPECT_EQ(rig.settings.RunAtStartup, 1);
  EXPECT_EQ(std::get<int32_t>(rig.store.values.at("RunAtStartup")), 1);
  for (QAction* a : ActionsWithId(w, cmd::kRunAtStartup)) EXPECT_TRUE(a->isChecked());
  w.ExecuteCommand(cmd::kRunAtStartup);
  EXPECT_EQ(std::get<int32_t>(rig.store.values.at("RunAtStartup")), 0);
  EXPECT_TRUE(rig.boxes.shown.empty());
}

TEST(MainWindowClose, CancelLeavesEverythingAsItWas) {
  WindowRig rig;
  CMainWindow& w = rig.Make();
  int stops = 0;
  w.SetShutdownHook([&] { ++stops; });
  w.show();
  rig.boxes.answers.push_back(BoxAnswer::Cancel);
  EXPECT_FALSE(w.close());
  ASSERT_EQ(rig.boxes.shown.size(), 1u);
  EXPECT_EQ(rig.boxes.shown[0], ApplicationBox(kCloseQuestion, BoxButtons::OkCancel));
  EXPECT_NE(rig.boxes.shown[0].text.find("sychronized"), std::string::npos);
  EXPECT_EQ(stops, 0);
  EXPECT_TRUE(w.isVisible());
  EXPECT_TRUE(rig.store.writtenKeys.empty());
}

TEST(MainWindowClose, OkStopsTheWorkerThenTheWindowWritesFourKeysInOrder) {
  WindowRig rig;
  rig.settings.StartMinimized = 1;
  rig.settings.MinimizeToTray = 0;
  rig.settings.BackGroundColor = 0x00FFFFFF;
  CMainWindow& w = rig.Make();
  int stops = 0;
  w.SetShutdownHook([&] {
    ++stops;
    EXPECT_TRUE(rig.store.writtenKeys.empty());
  });
  w.show();
  EXPECT_TRUE(w.close());
  EXPECT_EQ(stops, 1);
  EXPECT_FALSE(w.TrayIconShown());
  rig.window.reset();
  EXPECT_EQ(rig.store.writtenKeys,
            (std::vector<std::string>{"StartMinimized", "MinimizeToTray", "ForeGroundColor",
                                      "BackGroundColor"}));
  EXPECT_EQ(std::get<int32_t>(rig.store.values.at("StartMinimized")), 1);
  EXPECT_EQ(std::get<int32_t>(rig.store.values.at("MinimizeToTray")), 0);
  EXPECT_EQ(std::get<int32_t>(rig.store.values.at("ForeGroundColor")), 0x0000C0F9);
  EXPECT_EQ(std::get<int32_t>(rig.store.values.at("BackGroundColor")), 0x00FFFFFF);
}

// Exit from any menu, and the engine's close request, go through the same question.
TEST(MainWindowClose, ExitCommandsAndPostedCloseAskFirst) {
  WindowRig rig;
  CMainWindow& w = rig.Make();
  w.show();
  const QList<QAction*> exits = ActionsWithId(w, cmd::kExit);
  ASSERT_EQ(exits.size(), 3);
  for (QAction* a : exits) {
    rig.boxes.answers.push_back(BoxAnswer::Cancel);
    a->trigger();
    EXPECT_EQ(rig.boxes.shown.size(), 0u) << "asked before the posted close arrived";
    ProcessPostedEvents();
    EXPECT_EQ(rig.boxes.shown.size(), 1u);
    rig.boxes.shown.clear();
  }
  rig.boxes.answers.push_back(BoxAnswer::Cancel);
  w.Ui().PostClose();
  ProcessPostedEvents();
  EXPECT_EQ(rig.boxes.shown.size(), 1u);
  EXPECT_TRUE(w.isVisible());
}

// A second close while the question is open must neither ask again nor stop twice.
TEST(MainWindowClose, CloseWhileAskingIsIgnored) {
  WindowRig rig;
  CMainWindow& w = rig.Make();
  int stops = 0;
  w.SetShutdownHook([&] { ++stops; });
  w.show();
  bool asked = false;
  rig.boxes.onShow = [&](const BoxRequest&) {
    if (asked) return;
    asked = true;
    w.close();
  };
  EXPECT_TRUE(w.close());
  EXPECT_TRUE(asked);
  EXPECT_EQ(rig.boxes.shown.size(), 1u);
  EXPECT_EQ(stops, 1);
}

TEST(MainWindowMessages, CorrectionTooBigShowsOneBoxPerPost) {
  WindowRig rig;
  CMainWindow& w = rig.Make();
  w.Ui().PostCorrectionTooBig();
  w.Ui().PostCorrectionTooBig();
  EXPECT_TRUE(rig.boxes.shown.empty());
  ProcessPostedEvents();
  const BoxRequest expected = ApplicationBox(
      "Message from Quorvane: the needed correction exceeds Maximum Correction Limit");
  EXPECT_EQ(rig.boxes.shown, (std::vector<BoxRequest>{expected, expected}));
}

TEST(MainWindowMessages, ProgressStepsWrapAndResetAndNeverShowText) {
  WindowRig rig;
  CMainWindow& w = rig.Make();
  auto* bar = w.findChild<QProgressBar*>(QStringLiteral("progressBar"));
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(bar->minimum(), 0);
  EXPECT_EQ(bar->maximum(), 110);
  std::vector<int> previous;
  for (int i = 0; i < 17; ++i) previous.push_back(w.Ui().StepProgress());
  EXPECT_EQ(previous.front(), 0);
  EXPECT_EQ(previous[15], 105);  // 105 + 7 passes the end: back to 0
  EXPECT_EQ(previous[16], 0);
  EXPECT_EQ(bar->value(), 7);
  w.OnResetProgressMessage();
  EXPECT_EQ(bar->value(), 0);
  EXPECT_FALSE(bar->isTextVisible());
}

TEST(MainWindowMessages, StatusTextsGoToPaneZero) {
  WindowRig rig;
  CMainWindow& w = rig.Make();
  auto* pane0 = w.findChild<QLabel*>(QStringLiteral("statusText"));
  w.Ui().ShowStatus("Connecting to primary.test");
  EXPECT_EQ(pane0->text(), QStringLiteral("Connecting to primary.test"));
  w.Ui().PutStatus("Sync @ 14:05:09");
  EXPECT_EQ(pane0->text(), QStringLiteral("Sync @ 14:05:09"));
  // A long text must not widen the fixed window.
  w.show();
  w.Ui().ShowStatus(std::string(400, 'x'));
  EXPECT_EQ(w.width(), 500);
}

TEST(MainWindowMessages, ButtonsFollowTheEngine) {
  WindowRig rig;
  CMainWindow& w = rig.Make();
  auto* query = w.findChild<QPushButton*>(QStringLiteral("queryButton"));
  auto* sync = w.findChild<QPushButton*>(QStringLiteral("syncButton"));
  EXPECT_EQ(query->text(), QStringLiteral("Query SNTP Server"));
  EXPECT_EQ(sync->text(), QStringLiteral("Sync System Clock"));
  w.Ui().EnableQueryButton(false);
  EXPECT_FALSE(query->isEnabled());
  EXPECT_TRUE(sync->isEnabled());
  w.Ui().EnableSyncButton(false);
  w.Ui().EnableQueryButton(true);
  EXPECT_TRUE(query->isEnabled());
  EXPECT_FALSE(sync->isEnabled());
}

class UrlRecorder : public QObject {
  Q_OBJECT

 public:
  QStringList opened;
 public slots:
  void Open(const QUrl& url) { opened << url.toString(); }
};

TEST(MainWindowCommands, WebPagesOpenThroughTheDesktop) {
  WindowRig rig;
  CMainWindow& w = rig.Make();
  UrlRecorder recorder;
  QDesktopServices::setUrlHandler(QStringLiteral("https"), &recorder, "Open");
  for (QAction* a : ActionsWithId(w, cmd::kHomePage)) a->trigger();
  for (QAction* a : ActionsWithId(w, cmd::kHelpPage)) a->trigger();
  QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
  ASSERT_EQ(recorder.opened.size(), 4);
  EXPECT_EQ(recorder.opened[0], recorder.opened[1]);
  EXPECT_EQ(recorder.opened[2], recorder.opened[3]);
  EXPECT_NE(recorder.opened[0], recorder.opened[2]);
  EXPECT_TRUE(recorder.opened[0].startsWith(QStringLiteral("https://")));
}

// Right-click menu: the frame's own area only, not the buttons or the status bar.
TEST(MainWindowMouse, RightClickMenuOnlyOnTheClientArea) {
  WindowRig rig;
  CMainWindow& w = rig.Make();
  w.show();
  struct Case {
    const char* target;
    bool menu;
  };
  for (const Case c :
       {Case{"timeBand", true}, Case{"queryButton", false}, Case{"syncButton", false},
        Case{"statusText", false}, Case{"progressBar", false}}) {
    QWidget* target = w.findChild<QWidget*>(c.target);
    ASSERT_NE(target, nullptr) << c.target;
    const QPointF local(target->width() / 2.0, target->height() / 2.0);
    QMouseEvent press(QEvent::MouseButtonPress, local, target->mapToGlobal(local), Qt::RightButton,
                      Qt::RightButton, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
    EXPECT_EQ(w.ContextMenu()->isVisible(), c.menu) << c.target;
    w.ContextMenu()->hide();
  }
}

TEST(MainWindowTray, MinimiseGoesToTheTrayOnlyWhenAskedAndPossible) {
  struct Case {
    int32_t toTray;
    bool trayExists;
    bool hidden;
  };
  for (const Case c : {Case{1, true, true}, Case{1, false, false}, Case{0, true, false}}) {
    WindowRig rig;
    rig.settings.MinimizeToTray = c.toTray;
    rig.desktop.trayAvailable = [&] { return c.trayExists; };
    CMainWindow& w = rig.Make();
    w.show();
    w.setWindowState(Qt::WindowMinimized);
    ProcessPostedEvents();
    EXPECT_EQ(w.TrayIconShown(), c.hidden) << c.toTray << c.trayExists;
    EXPECT_EQ(w.isHidden(), c.hidden) << c.toTray << c.trayExists;
  }
}

TEST(MainWindowTray, RestoreKeepsTheIconAndTurningTheOptionOffRemovesIt) {
  WindowRig rig;
  rig.settings.MinimizeToTray = 1;
  rig.desktop.trayAvailable = [] { return true; };
  CMainWindow& w = rig.Make();
  w.show();
  w.setWindowState(Qt::WindowMinimized);
  ProcessPostedEvents();
  ASSERT_TRUE(w.isHidden());
  ActionsWithId(w, cmd::kRestore).at(0)->trigger();
  EXPECT_TRUE(w.isVisible());
  EXPECT_FALSE(w.isMinimized());
  EXPECT_TRUE(w.TrayIconShown());
  w.ExecuteCommand(cmd::kMinimizeToTray);
  EXPECT_FALSE(w.TrayIconShown());
}

// Start-up shows the window minimised before it is visible; the tray step still runs.
TEST(MainWindowTray, StartingMinimisedGoesStraightToTheTray) {
  WindowRig rig;
  rig.settings.MinimizeToTray = 1;
  rig.settings.StartMinimized = 1;
  rig.desktop.trayAvailable = [] { return true; };
  CMainWindow& w = rig.Make();
  w.showMinimized();
  ProcessPostedEvents();
  EXPECT_TRUE(w.TrayIconShown());
  EXPECT_TRUE(w.isHidden());
}

}  // namespace
}  // namespace quorvane::testing

#include "commands_test.moc"
