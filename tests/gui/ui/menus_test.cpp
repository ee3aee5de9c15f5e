#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <string>
#include <vector>

#include "gui/ui_test_support.h"
#include "ui/main_window.h"

namespace quorvane::testing {
namespace {

// One line per entry: the path of titles, then "=id" for a command or "-" for a separator.
void Walk(const QList<QAction*>& actions, const std::string& prefix,
          std::vector<std::string>& out) {
  for (QAction* a : actions) {
    if (a->isSeparator()) {
      out.push_back(prefix + "-");
    } else if (QMenu* sub = a->menu()) {
      Walk(sub->actions(), prefix + a->text().toStdString() + " > ", out);
    } else {
      out.push_back(prefix + a->text().toStdString() + "=" + std::to_string(a->data().toInt()));
    }
  }
}

std::vector<std::string> Tree(const QList<QAction*>& actions) {
  std::vector<std::string> out;
  Walk(actions, "", out);
  return out;
}

TEST(MainWindowMenus, TreesHaveTheirTextsAndCommandIds) {
  WindowRig rig;
  CMainWindow& w = rig.Make();
  EXPECT_EQ(Tree(w.menuBar()->actions()), (std::vector<std::string>{
                                              "&File > E&xit=57665",
                                              "&View > &Foreground Color...=40027",
                                              "&View > &Background Color...=40028",
                                              "&View > &Reset Colors=40033",
                                              "&View > -",
                                              "&View > Correction &History...=40047",
                                              "&Options > &Logging and Statistics...=40044",
                                              "&Options > Minimize to &Tray=40019",
                                              "&Options > &Run at Startup=40038",
                                              "&Options > Start &Minimized=40040",
                                              "&Options > &Authenticated Time (NTS)=40048",
                                              "&Mode > &Poll a Server=40045",
                                              "&Mode > &Listen for a Broadcast=40046",
                                              "&Servers=40035",
                                              "&Help > &About=40021",
                                              "&Help > &Instructions=40034",
                                              "&Help > -",
                                              "&Help > &Veltrand Home Page=40025",
                                              "&Help > Quorvane &Help Page=40026",
                                          }));
  EXPECT_EQ(Tree(w.ContextMenu()->actions()), (std::vector<std::string>{
                                                  "File > Exit=57665",
                                                  "&Options > &Colors > &Reset Colors=40033",
                                                  "&Options > &Colors > &Foreground...=40027",
                                                  "&Options > &Colors > &Background...=40028",
                                                  "&Options > &Servers=40035",
                                                  "&Options > Minimize to &Tray=40019",
                                                  "&Options > &Run at Startup=40038",
                                                  "&Options > Start &Minimized=40040",
                                                  "&Options > &Authenticated Time (NTS)=40048",
                                                  "Help > &About=40021",
                                                  "Help > &Instructions=40034",
                                                  "Help > -",
                                                  "Help > &Veltrand Home Page=40025",
                                                  "Help > Quorvane &Help Page=40026",
                                              }));
  EXPECT_EQ(
      Tree(w.TrayMenu()->actions()),
      (std::vector<std::string>{"Restore=40039", "Correct System Clock=40020", "Exit=57665"}));
}

TEST(MainWindowMenus, OptionChecksFollowTheSettingsInBothMenus) {
  struct Case {
    int32_t toTray, atStartup, minimized;
  };
  for (const Case c : {Case{0, 0, 0}, Case{1, 0, 1}, Case{0, 1, 0}, Case{1, 1, 1}}) {
    WindowRig rig;
    rig.settings.MinimizeToTray = c.toTray;
    rig.settings.RunAtStartup = c.atStartup;
    rig.settings.StartMinimized = c.minimized;
    CMainWindow& w = rig.Make();
    for (auto [id, expected] : {std::pair{cmd::kMinimizeToTray, c.toTray == 1},
                                std::pair{cmd::kRunAtStartup, c.atStartup == 1},
                                std::pair{cmd::kStartMinimized, c.minimized == 1}}) {
      const QList<QAction*> found = ActionsWithId(w, id);
      ASSERT_EQ(found.size(), 2) << id;
      for (QAction* a : found) EXPECT_EQ(a->isChecked(), expected) << id;
    }
  }
}

TEST(MainWindowMenus, PromptsOfEveryCommand) {
  const std::vector<std::pair<int, const char*>> prompts = {
      {40019, "Enables Quorvane to Minimize onto Taskbar Notification Tray"},
      {40021, "About Quorvane"},
      {40025, "Launch Browser to Veltrand, Inc. Home Page"},
      {40026, "Launch Browser to Quorvane Help Page"},
      {40027, "Sets the Foreground (Text) Color"},
      {40028, "Sets the Background Color"},
      {40033, "Reset to original color scheme"},
      {40034, "Basic instructions for Quorvane"},
      {40035, "Configure SNTP Server Synchronization Options"},
      {40038, "Enables Quorvane to run at Windows startup"},
      {40040, "Enables Quorvane to start minimized"},
      {40044, "Opens the dialog of logging control and statistics viewing."},
      {40047, "Shows every logged correction over time and the clock's drift"},
      {40048, "Enables Quorvane to accept only time authenticated with Network Time Security"},
  };
  WindowRig rig;
  CMainWindow& w = rig.Make();
  for (const auto& [id, prompt] : prompts) {
    const QList<QAction*> found = ActionsWithId(w, id);
    ASSERT_FALSE(found.isEmpty()) << id;
    for (QAction* a : found) EXPECT_EQ(a->statusTip().toStdString(), prompt) << id;
  }
}

// Highlighting an item puts its prompt into pane 0; closing the menu empties the pane.
TEST(MainWindowMenus, HighlightShowsThePromptAndClosingClearsIt) {
  WindowRig rig;
  CMainWindow& w = rig.Make();
  w.show();
  auto* pane0 = w.findChild<QLabel*>(QStringLiteral("statusText"));
  ASSERT_NE(pane0, nullptr);

  QMenu* view = w.menuBar()->actions().at(1)->menu();
  QMenu* contextOptions = w.ContextMenu()->actions().at(1)->menu();
  for (QMenu* menu : {view, contextOptions, w.TrayMenu()}) {
    QAction* first = nullptr;
    for (QAction* a : menu->actions()) {
      if (!a->menu() && !a->isSeparator()) {
        first = a;
        break;
      }
    }
    ASSERT_NE(first, nullptr);
    w.Ui().PutStatus("before");
    menu->popup(w.geometry().center());
    menu->setActiveAction(first);
    EXPECT_EQ(pane0->text(), first->statusTip());
    menu->hide();
    ProcessPostedEvents();
    EXPECT_TRUE(pane0->text().isEmpty()) << menu->title().toStdString();
  }
  // "&Servers" on the bar itself has no menu to close: its command still runs unprompted.
  QAction* servers = w.menuBar()->actions().at(4);
  ASSERT_EQ(servers->data().toInt(), cmd::kServers);
  const QPointF at = w.menuBar()->actionGeometry(servers).center();
  QMouseEvent hover(QEvent::MouseMove, at, w.menuBar()->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                    Qt::NoModifier);
  QApplication::sendEvent(w.menuBar(), &hover);
  EXPECT_EQ(pane0->text(), servers->statusTip());
  QString duringCommand = QStringLiteral("not run");
  w.Commands().Register(cmd::kServers, [&] { duringCommand = pane0->text(); });
  servers->trigger();
  EXPECT_TRUE(duringCommand.isEmpty()) << duringCommand.toStdString();
}

TEST(MainWindowMenus, ModeUiFollowsSocketMode) {
  struct Case {
    int32_t mode;
    bool poll, listen, servers, buttons;
  };
  // Mode 3 leaves whatever the previous mode set.
  const Case cases[] = {{kListenMode, false, true, false, false},
                        {kPollMode, true, false, true, true},
                        {3, true, false, true, true},
                        {kListenMode, false, true, false, false},
                        {3, false, true, false, false}};
  WindowRig rig;
  CMainWindow& w = rig.Make();
  for (const Case& c : cases) {
    rig.settings.Socket_Mode = c.mode;
    w.Ui().UpdateModeUi();
    EXPECT_EQ(ActionsWithId(w, cmd::kPollMode).at(0)->isChecked(), c.poll) << c.mode;
    EXPECT_EQ(ActionsWithId(w, cmd::kListenMode).at(0)->isChecked(), c.listen) << c.mode;
    for (QAction* a : ActionsWithId(w, cmd::kServers)) {
      const bool inBar = w.menuBar()->actions().contains(a);
      EXPECT_EQ(a->isEnabled(), inBar ? c.servers : true) << c.mode;
    }
    for (const char* name : {"queryButton", "syncButton"}) {
      EXPECT_EQ(w.findChild<QWidget*>(name)->isEnabled(), c.buttons) << c.mode << name;
    }
  }
}

TEST(MainWindowMenus, ListenModeAtConstructionGreysOnlyTheBarServers) {
  WindowRig rig;
  rig.settings.Socket_Mode = kListenMode;
  CMainWindow& w = rig.Make();
  int serversOpened = 0;
  w.Commands().Register(cmd::kServers, [&] { ++serversOpened; });
  for (QAction* a : ActionsWithId(w, cmd::kServers)) {
    if (a->isEnabled()) a->trigger();
  }
  EXPECT_EQ(serversOpened, 1);
  EXPECT_FALSE(w.findChild<QWidget*>("queryButton")->isEnabled());
}

// A checkable mode item must not change its own mark when the mode does not change.
TEST(MainWindowMenus, ModeCommandMarksFollowOnlyTheMode) {
  WindowRig rig;
  CMainWindow& w = rig.Make();
  std::vector<int32_t> asked;
  w.Commands().Register(cmd::kPollMode, [&] { asked.push_back(kPollMode); });
  w.Commands().Register(cmd::kListenMode, [&] { asked.push_back(kListenMode); });
  ActionsWithId(w, cmd::kListenMode).at(0)->trigger();
  ActionsWithId(w, cmd::kPollMode).at(0)->trigger();
  EXPECT_EQ(asked, (std::vector<int32_t>{kListenMode, kPollMode}));
  EXPECT_TRUE(ActionsWithId(w, cmd::kPollMode).at(0)->isChecked());
  EXPECT_FALSE(ActionsWithId(w, cmd::kListenMode).at(0)->isChecked());
}

// The dialogs register their commands where the program is put together; until then the
// items do nothing.
TEST(MainWindowMenus, UnregisteredCommandsDoNothing) {
  WindowRig rig;
  CMainWindow& w = rig.Make();
  for (int id : {cmd::kLogging, cmd::kServers, cmd::kPollMode, cmd::kListenMode}) {
    for (QAction* a : ActionsWithId(w, id)) a->trigger();
  }
  ProcessPostedEvents();
  EXPECT_TRUE(rig.boxes.shown.empty());
  EXPECT_TRUE(rig.store.writtenKeys.empty());
  EXPECT_EQ(rig.settings.Socket_Mode, kPollMode);
}

}  // namespace
}  // namespace quorvane::testing

namespace quorvane::testing {
namespace {

// Broadcasts keep the clock while listening: the tray's sync is greyed then.
TEST(MainWindowMenus, TrayCorrectClockFollowsTheMode) {
  WindowRig rig;
  CMainWindow& w = rig.Make();
  for (const int32_t mode : {kListenMode, kPollMode, kListenMode}) {
    rig.settings.Socket_Mode = mode;
    w.Ui().UpdateModeUi();
    const QList<QAction*> correct = ActionsWithId(w, cmd::kCorrectClock);
    ASSERT_EQ(correct.size(), 1);
    EXPECT_EQ(correct[0]->isEnabled(), mode == kPollMode) << mode;
  }
}

}  // namespace
}  // namespace quorvane::testing
