#include "server_config/qt/broadcast_timeout_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <functional>

#include "fakes/fake_settings_store.h"
#include "platform/qt/dialog_units.h"
#include "sntp/listen_mode.h"
#include "support/engine_test_support.h"
#include "support/settings_fixtures.h"

namespace quorvane::testing {
namespace {

// An engine on fake ports in poll mode with first-start settings, and a store to write to.
struct DialogRig : EngineRig {
  FakeSettingsStore store;
  DialogRig() {
    LoadDefaults(settings, store, boxes);
    settings.Primary_Server = settings.ServerInUse = "primary.test";
  }
  BroadcastTimeoutContext Context() {
    return {settings, store, boxes, engine.MutableState().BroadcastTickCount};
  }
};

template <typename W>
W* Find(QWidget& dialog, const char* name) {
  W* w = dialog.findChild<W*>(QString::fromUtf8(name));
  EXPECT_NE(w, nullptr) << name;
  return w;
}

void Type(QWidget* w, const QString& text) {
  for (const QChar c : text) {
    QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
    QApplication::sendEvent(w, &press);
  }
}

TEST(BroadcastTimeoutDialog, ControlsSitAtTheirTemplateRectanglesInTabOrder) {
  DialogRig rig;
  CBroadcastTimeoutDlg dialog(rig.Context());
  const QFontMetrics m = dialog.fontMetrics();
  EXPECT_EQ(dialog.windowTitle(), "Broadcast Timeout");
  EXPECT_EQ(dialog.size(), DialogUnitsToPixels(m, 0, 0, 263, 132).size());
  const struct {
    const char* name;
    int x, y, w, h;
  } places[] = {{"okButton", 206, 7, 50, 14},
                {"cancelButton", 206, 33, 50, 14},
                {"timeoutEdit", 80, 18, 18, 12},
                {"restartTimeoutButton", 15, 57, 80, 14},
                {"maxCorrectionEdit", 80, 34, 18, 12}};
  for (const auto& p : places) {
    EXPECT_EQ(Find<QWidget>(dialog, p.name)->geometry(), DialogUnitsToPixels(m, p.x, p.y, p.w, p.h))
        << p.name;
  }
  for (const auto& [name, x, y] :
       {std::tuple{"timeoutUnitCombo", 101, 18}, std::tuple{"maxCorrectionUnitCombo", 101, 34}}) {
    EXPECT_EQ(Find<QWidget>(dialog, name)->pos(), DialogUnitsToPixels(m, x, y, 0, 0).topLeft());
  }
  const struct {
    const char* text;
    int x, y;
  } texts[] = {{"This program cannot test for the presence of a broadcasting SNTP server.", 15, 80},
               {"The user must make sure that such a server exists", 15, 93},
               {"and is broadcasting often enough for his requirements.", 15, 106},
               {"Broadcast Timeout:", 15, 20},
               {"Max Correction:", 15, 36}};
  for (const auto& t : texts) {
    bool found = false;
    for (QLabel* label : dialog.findChildren<QLabel*>()) {
      if (label->text() != t.text) continue;
      found = true;
      EXPECT_EQ(label->pos(), DialogUnitsToPixels(m, t.x, t.y, 0, 0).topLeft()) << t.text;
      EXPECT_LE(label->sizeHint().width(), label->width() + 2) << t.text;
    }
    EXPECT_TRUE(found) << t.text;
  }
  QWidget* w = Find<QWidget>(dialog, "okButton");
  std::vector<std::string> order;
  for (; order.size() < 7; w = w->nextInFocusChain()) {
    if (w->focusPolicy() & Qt::TabFocus) order.push_back(w->objectName().toStdString());
  }
  EXPECT_EQ(order, (std::vector<std::string>{"okButton", "cancelButton", "timeoutEdit",
                                             "restartTimeoutButton", "maxCorrectionEdit",
                                             "timeoutUnitCombo", "maxCorrectionUnitCombo"}));
}

TEST(BroadcastTimeoutDialog, FieldsTakeWhatTheyShould) {
  DialogRig rig;
  CBroadcastTimeoutDlg dialog(rig.Context());
  auto* timeout = Find<QLineEdit>(dialog, "timeoutEdit");
  auto* correction = Find<QLineEdit>(dialog, "maxCorrectionEdit");
  timeout->clear();
  correction->clear();
  Type(timeout, "1a-2 3");
  Type(correction, "-1a 2");
  EXPECT_EQ(timeout->text(), "123");
  EXPECT_EQ(correction->text(), "-1a 2");
  for (const char* name : {"timeoutUnitCombo", "maxCorrectionUnitCombo"}) {
    auto* list = Find<QComboBox>(dialog, name);
    EXPECT_FALSE(list->isEditable()) << name;
    ASSERT_EQ(list->count(), 3) << name;
    EXPECT_EQ(list->itemText(0), "Hour(s)");
    EXPECT_EQ(list->itemText(1), "Minute(s)");
    EXPECT_EQ(list->itemText(2), "Second(s)");
  }
}

TEST(BroadcastTimeoutDialog, InitShowsTheStoredValuesAndPicksTheUnit) {
  const struct {
    const char* stored;
    const char* shown;
  } units[] = {{"Minute(s)", "Minute(s)"},
               {"Second(s)", "Second(s)"},
               {"Hour(s)", "Hour(s)"},
               {"second(s)", "Hour(s)"},
               {"", "Hour(s)"}};
  for (const auto& u : units) {
    DialogRig rig;
    rig.settings.Broadcast_Timeout = 30;
    rig.settings.Broadcast_Max_Correction = -1;
    rig.settings.Broadcast_Timeout_Unit = u.stored;
    rig.settings.Broadcast_Max_Correction_Unit = u.stored;
    CBroadcastTimeoutDlg dialog(rig.Context());
    EXPECT_EQ(Find<QLineEdit>(dialog, "timeoutEdit")->text(), "30");
    EXPECT_EQ(Find<QLineEdit>(dialog, "maxCorrectionEdit")->text(), "-1");
    EXPECT_EQ(Find<QComboBox>(dialog, "timeoutUnitCombo")->currentText(), u.shown) << u.stored;
    EXPECT_EQ(Find<QComboBox>(dialog, "maxCorrectionUnitCombo")->currentText(), u.shown);
    // OK stores the unit the list shows.
    dialog.OnOK();
    EXPECT_EQ(rig.settings.Broadcast_Timeout_Unit, u.shown);
  }
}

TEST(BroadcastTimeoutDialog, OkParsesTheFieldsAndWritesTheFourKeysInOrder) {
  const struct {
    const char* timeout;
    const char* correction;
    int32_t storedTimeout;
    int32_t storedCorrection;
  } cases[] = {{"", "", 1, 1},
               {"12", "12abc", 12, 12},
               {"7", "abc", 7, 1},
               {"0", "-1", 0, -1},
               {"5", " +9", 5, 9},
               {"3", "99999999999", 3, 1},
               {"", "-2147483648", 1, INT32_MIN}};
  for (const auto& c : cases) {
    DialogRig rig;
    CBroadcastTimeoutDlg dialog(rig.Context());
    Find<QLineEdit>(dialog, "timeoutEdit")->setText(c.timeout);
    Find<QLineEdit>(dialog, "maxCorrectionEdit")->setText(c.correction);
    Find<QComboBox>(dialog, "maxCorrectionUnitCombo")->setCurrentIndex(2);
    Find<QPushButton>(dialog, "okButton")->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(rig.settings.Broadcast_Timeout, c.storedTimeout) << c.timeout;
    EXPECT_EQ(rig.settings.Broadcast_Max_Correction, c.storedCorrection) << c.correction;
    EXPECT_EQ(
        rig.store.writtenKeys,
        (std::vector<std::string>{"Broadcast_Timeout", "Broadcast_Timeout_Unit",
                                  "Broadcast_Max_Correction", "Broadcast_Max_Correction_Unit"}));
    EXPECT_EQ(std::get<int32_t>(rig.store.values["Broadcast_Max_Correction"]), c.storedCorrection);
    EXPECT_EQ(std::get<std::string>(rig.store.values["Broadcast_Max_Correction_Unit"]),
              "Second(s)");
  }
}

TEST(BroadcastTimeoutDialog, OkRecomputesTheTimeOutAndTheLimitOfTheModeInForce) {
  const struct {
    int32_t mode;
    const char* timeout;
    int unit;
    uint32_t timeoutMs;
    double limit;
  } cases[] = {{kPollMode, "1194", 0, 3432704u, 3600.0},
               {kListenMode, "2", 1, 120000u, 4294967295.0}};
  for (const auto& c : cases) {
    DialogRig rig;
    rig.settings.Socket_Mode = c.mode;
    CBroadcastTimeoutDlg dialog(rig.Context());
    Find<QLineEdit>(dialog, "timeoutEdit")->setText(c.timeout);
    Find<QComboBox>(dialog, "timeoutUnitCombo")->setCurrentIndex(c.unit);
    Find<QLineEdit>(dialog, "maxCorrectionEdit")->setText("-1");
    Find<QComboBox>(dialog, "maxCorrectionUnitCombo")->setCurrentIndex(2);
    dialog.OnOK();
    EXPECT_EQ(rig.settings.BroadcastTimeoutMs, c.timeoutMs) << c.mode;
    EXPECT_EQ(rig.settings.MaxCorrectionSeconds, c.limit) << c.mode;
  }
}

TEST(BroadcastTimeoutDialog, OkRestartsTheCountOnlyFromPollModeAndRestartStandsAfterCancel) {
  for (const int32_t mode : {kPollMode, kListenMode}) {
    DialogRig rig;
    rig.settings.Socket_Mode = mode;
    rig.engine.MutableState().BroadcastTickCount = 40;
    CBroadcastTimeoutDlg dialog(rig.Context());
    dialog.OnOK();
    EXPECT_EQ(rig.engine.State().BroadcastTickCount, mode == kPollMode ? 0u : 40u);
  }
  DialogRig rig;
  rig.engine.MutableState().BroadcastTickCount = 40;
  CBroadcastTimeoutDlg dialog(rig.Context());
  Find<QLineEdit>(dialog, "timeoutEdit")->setText("9");
  Find<QPushButton>(dialog, "restartTimeoutButton")->click();
  EXPECT_EQ(rig.engine.State().BroadcastTickCount, 0u);
  EXPECT_TRUE(dialog.isHidden() || dialog.result() != QDialog::Accepted);
  Find<QPushButton>(dialog, "cancelButton")->click();
  EXPECT_EQ(rig.engine.State().BroadcastTickCount, 0u);
  EXPECT_EQ(rig.settings.Broadcast_Timeout, 1);
  EXPECT_TRUE(rig.store.writtenKeys.empty());
}

// Runs command 40046 and lets `act` work the open dialog.
void RunCommand(DialogRig& rig, const std::function<void(CBroadcastTimeoutDlg&)>& act) {
  bool ran = false;
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<CBroadcastTimeoutDlg*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    ran = true;
    act(*dialog);
  });
  ListenModeHandler(nullptr, rig.engine, rig.settings, rig.store, rig.boxes)();
  EXPECT_TRUE(ran);
}

TEST(BroadcastTimeoutDialog, CommandSwitchesOnOkAndNotOnCancel) {
  DialogRig rig;
  RunCommand(rig, [](CBroadcastTimeoutDlg& d) { Find<QPushButton>(d, "cancelButton")->click(); });
  EXPECT_EQ(rig.ui.pane0, "Mode not changed: user canceled.");
  EXPECT_EQ(rig.settings.Socket_Mode, kPollMode);
  EXPECT_FALSE(rig.engine.State().EngineSocket);
  RunCommand(rig, [](CBroadcastTimeoutDlg& d) {
    Find<QComboBox>(d, "maxCorrectionUnitCombo")->setCurrentIndex(1);
    Find<QPushButton>(d, "okButton")->click();
  });
  EXPECT_EQ(rig.ui.pane0, "Broadcast Timeout configuration changes saved.");
  EXPECT_EQ(rig.settings.Socket_Mode, kListenMode);
  EXPECT_EQ(std::get<int32_t>(rig.store.values["Socket_Mode"]), kListenMode);
  EXPECT_EQ(rig.settings.MaxCorrectionSeconds, 60.0);
  ASSERT_TRUE(rig.engine.State().EngineSocket);
  EXPECT_EQ(rig.sockets.Last().boundPort, 123);
}

}  // namespace
}  // namespace quorvane::testing
