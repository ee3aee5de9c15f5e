#include <gtest/gtest.h>

#include <QComboBox>
#include <QKeySequence>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <filesystem>
#include <iostream>

#include "gui/ui/window_rigs.h"

// The three settings dialogs driven from the keyboard alone.
namespace quorvane::testing {
namespace {

// One dialog on its rig, and what it has changed so far.
struct DialogRun {
  virtual ~DialogRun() = default;
  virtual QDialog& Dialog() = 0;
  // What the dialog changed outside itself: files, stored settings, the engine.
  virtual std::string Effects() = 0;

  std::string outcome = "open";
  void Start() {
    QObject::connect(&Dialog(), &QDialog::accepted, [this] { outcome = "accepted"; });
    QObject::connect(&Dialog(), &QDialog::rejected, [this] { outcome = "rejected"; });
    ShowActive(Dialog());
  }
  // The outcome, every field's text and list's entries, and the effects.
  std::string State() {
    std::string state = outcome;
    for (QLineEdit* field : Dialog().findChildren<QLineEdit*>()) {
      if (!field->objectName().isEmpty()) {
        state += " " + field->objectName().toStdString() + "=" + field->text().toStdString();
      }
    }
    for (QComboBox* list : Dialog().findChildren<QComboBox*>()) {
      state += " " + list->objectName().toStdString() + "#" + std::to_string(list->count());
    }
    return state + " | " + Effects();
  }
};

std::string Joined(const std::vector<std::string>& keys) {
  std::string out;
  for (const std::string& key : keys) out += key + ",";
  return out;
}

struct ServersRun : DialogRun {
  DialogRig rig;
  ServersRun() {
    rig.WriteList("standard,std.example\r\ncustom,cus.example\r\n");
    rig.Make();
    rig.List("customServerList")->setCurrentIndex(0);
    rig.Field("newCustomServerEdit")->setText("new.example");
    Start();
  }
  QDialog& Dialog() override { return *rig.dialog; }
  std::string Effects() override {
    return rig.ReadList() + " interval=" + rig.engine.settings.IntervalUnit +
           " requests=" + std::to_string(rig.engine.sockets.RequestsSent());
  }
};

struct BroadcastRun : DialogRun {
  BroadcastRig rig;
  BroadcastRun() {
    rig.engine.MutableState().BroadcastTickCount = 5;
    rig.Make();
    Start();
  }
  QDialog& Dialog() override { return *rig.dialog; }
  std::string Effects() override {
    return Joined(rig.store.writtenKeys) +
           " ticks=" + std::to_string(rig.engine.State().BroadcastTickCount);
  }
};

struct LoggingRun : DialogRun {
  LoggingRig rig;
  LoggingRun() {
    rig.settings.Logs_To_Keep = 2;
    rig.Make();
    Start();
  }
  QDialog& Dialog() override { return *rig.dialog; }
  std::string Effects() override {
    std::string files;
    for (const auto& entry : std::filesystem::directory_iterator(rig.dir.path())) {
      files += entry.path().filename().string() + ":" +
               std::to_string(std::filesystem::file_size(entry.path())) + " ";
    }
    return files + Joined(rig.store.writtenKeys);
  }
};

struct DialogKind {
  const char* name;
  std::function<std::unique_ptr<DialogRun>()> make;
};

const DialogKind kServers{"Servers", [] { return std::make_unique<ServersRun>(); }};
const DialogKind kBroadcast{"Broadcast Timeout", [] { return std::make_unique<BroadcastRun>(); }};
const DialogKind kLogging{"Logging & Statistics", [] { return std::make_unique<LoggingRun>(); }};

void Press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  QWidget* focus = QApplication::focusWidget();
  ASSERT_NE(focus, nullptr);
  QTest::keyClick(focus, static_cast<Qt::Key>(key), modifiers);
  QCoreApplication::processEvents();
}

// Enter on a focused push button has the effect of clicking it; Enter anywhere else presses
// OK, Escape cancels.
TEST(DialogKeys, EnterPressesTheFocusedButtonElseOk) {
  struct Case {
    const DialogKind& dialog;
    const char* control;
    int key;
    const char* outcome;
  };
  const Case cases[] = {
      {kServers, "okButton", Qt::Key_Return, "accepted"},
      {kServers, "cancelButton", Qt::Key_Return, "rejected"},
      {kServers, "testPrimaryButton", Qt::Key_Return, "open"},
      {kServers, "testSecondaryButton", Qt::Key_Enter, "open"},
      {kServers, "swapButton", Qt::Key_Return, "open"},
      {kServers, "makePrimaryButton", Qt::Key_Return, "open"},
      {kServers, "makeSecondaryButton", Qt::Key_Return, "open"},
      {kServers, "addCustomButton", Qt::Key_Return, "open"},
      {kServers, "removeSelectionButton", Qt::Key_Return, "open"},
      {kServers, "primaryServerEdit", Qt::Key_Return, "accepted"},
      {kServers, "intervalUnitList", Qt::Key_Enter, "accepted"},
      {kServers, "notifyCheckBox", Qt::Key_Return, "accepted"},
      {kServers, "primaryServerEdit", Qt::Key_Escape, "rejected"},
      {kBroadcast, "okButton", Qt::Key_Return, "accepted"},
      {kBroadcast, "cancelButton", Qt::Key_Return, "rejected"},
      {kBroadcast, "restartTimeoutButton", Qt::Key_Return, "open"},
      {kBroadcast, "timeoutEdit", Qt::Key_Return, "accepted"},
      {kBroadcast, "maxCorrectionUnitCombo", Qt::Key_Enter, "accepted"},
      {kBroadcast, "restartTimeoutButton", Qt::Key_Escape, "rejected"},
      {kLogging, "okButton", Qt::Key_Return, "accepted"},
      {kLogging, "cancelButton", Qt::Key_Enter, "rejected"},
      {kLogging, "clearLogButton", Qt::Key_Return, "open"},
      {kLogging, "rotateLogsButton", Qt::Key_Return, "open"},
      {kLogging, "backupsEdit", Qt::Key_Return, "accepted"},
      {kLogging, "timeLimitRadio", Qt::Key_Return, "accepted"},
  };
  for (const Case& c : cases) {
    const std::unique_ptr<DialogRun> run = c.dialog.make();
    QWidget* control = run->Dialog().findChild<QWidget*>(c.control);
    control->setFocus(Qt::TabFocusReason);
    Press(c.key);
    std::cout << c.dialog.name << " / " << c.control << " / "
              << QKeySequence(c.key).toString().toStdString() << ": " << run->outcome << "\n";
    EXPECT_EQ(run->outcome, c.outcome) << c.dialog.name << " " << c.control << " " << c.key;
    auto* button = qobject_cast<QPushButton*>(control);
    if (button == nullptr || c.key == Qt::Key_Escape) continue;
    const std::unique_ptr<DialogRun> clicked = c.dialog.make();
    clicked->Dialog().findChild<QPushButton*>(c.control)->click();
    EXPECT_EQ(run->State(), clicked->State()) << c.dialog.name << " " << c.control;
  }
}

// One full round of Tab from the first control, by object name.
std::vector<std::string> TabRound(QDialog& dialog) {
  std::vector<std::string> names;
  QWidget* first = QApplication::focusWidget();
  do {
    names.push_back(QApplication::focusWidget()->objectName().toStdString());
    Press(Qt::Key_Tab);
  } while (QApplication::focusWidget() != first && names.size() < 60 && dialog.isVisible());
  return names;
}

TEST(DialogKeys, TabVisitsTheTemplateOrderWithResultsAndOneStopPerRadioGroup) {
  struct Case {
    const DialogKind& dialog;
    std::vector<std::string> order;
  };
  const Case cases[] = {
      // The results and "Server In Use" join at their template places.
      {kServers,
       {"okButton",
        "cancelButton",
        "primaryServerEdit",
        "intervalCountEdit",
        "intervalUnitList",
        "correctionCountEdit",
        "correctionUnitList",
        "testPrimaryButton",
        "primaryStatusField",
        "primaryRequestField",
        "primaryProcessingField",
        "primaryResponseField",
        "secondaryServerEdit",
        "testSecondaryButton",
        "secondaryStatusField",
        "secondaryRequestField",
        "secondaryProcessingField",
        "secondaryResponseField",
        "serverInUseField",
        "swapButton",
        "standardServerList",
        "customServerList",
        "makePrimaryButton",
        "makeSecondaryButton",
        "newCustomServerEdit",
        "addCustomButton",
        "removeSelectionButton",
        "notifyCheckBox"}},
      {kBroadcast,
       {"okButton", "cancelButton", "timeoutEdit", "restartTimeoutButton", "maxCorrectionEdit",
        "timeoutUnitCombo", "maxCorrectionUnitCombo"}},
      // "Time" is checked: the group is one stop, on it; the size field is disabled.
      {kLogging,
       {"okButton",
        "cancelButton",
        "logToFileCheck",
        "logSizeEdit",
        "clearLogButton",
        "rotateLogsButton",
        "timeLimitRadio",
        "timeLimitEdit",
        "timeUnitCombo",
        "backupsEdit",
        "firstEntryEdit",
        "lastEntryEdit",
        "correctionCountEdit",
        "averageEdit",
        "maximumEdit",
        "maxPositiveEdit",
        "maxNegativeEdit",
        "minimumEdit",
        "successCountEdit",
        "failureCountEdit",
        "sourceList"}},
  };
  for (const Case& c : cases) {
    const std::unique_ptr<DialogRun> run = c.dialog.make();
    EXPECT_EQ(TabRound(run->Dialog()), c.order) << c.dialog.name;
  }
}

TEST(DialogKeys, ArrowsMoveTheLimitCheckAndTabReturnsToIt) {
  LoggingRun run;
  QDialog& dialog = run.Dialog();
  dialog.findChild<QWidget*>("rotateLogsButton")->setFocus(Qt::TabFocusReason);
  Press(Qt::Key_Tab);
  struct Step {
    int key;
    const char* focused;  // and checked
    int32_t limitType;
  };
  const Step steps[] = {{Qt::Key_Up, "sizeLimitRadio", 1},    {Qt::Key_Up, "noLimitRadio", 0},
                        {Qt::Key_Up, "timeLimitRadio", 2},    {Qt::Key_Down, "noLimitRadio", 0},
                        {Qt::Key_Right, "sizeLimitRadio", 1}, {Qt::Key_Left, "noLimitRadio", 0}};
  EXPECT_EQ(QApplication::focusWidget()->objectName(), "timeLimitRadio");
  for (const Step& s : steps) {
    Press(s.key);
    auto* focused = qobject_cast<QRadioButton*>(QApplication::focusWidget());
    ASSERT_NE(focused, nullptr) << s.focused;
    EXPECT_EQ(focused->objectName(), s.focused);
    EXPECT_TRUE(focused->isChecked()) << s.focused;
    EXPECT_EQ(run.rig.settings.Log_Limit_Type, s.limitType) << s.focused;
  }
  Press(Qt::Key_Tab, Qt::ShiftModifier);
  EXPECT_EQ(QApplication::focusWidget()->objectName(), "rotateLogsButton");
  Press(Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget()->objectName(), "noLimitRadio");
}

}  // namespace
}  // namespace quorvane::testing
