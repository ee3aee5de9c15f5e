#include "logging/qt/logging_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <functional>
#include <map>

#include "fakes/fake_clock.h"
#include "fakes/fake_message_boxes.h"
#include "fakes/fake_settings_store.h"
#include "logging/log_statistics.h"
#include "logging/sync_log.h"
#include "platform/qt/dialog_units.h"
#include "support/log_test_files.h"
#include "support/settings_fixtures.h"
#include "ui/command_ids.h"

namespace quorvane::testing {
namespace {

const char* const kLimitControls[] = {"noLimitRadio",  "sizeLimitRadio", "timeLimitRadio",
                                      "sizeLimitEdit", "timeLimitEdit",  "timeLimitUpDown",
                                      "timeUnitCombo", "backupsEdit",    "backupsUpDown"};

struct DialogRig {
  TempDir dir;
  AppSettings settings;
  FakeSettingsStore store;
  FakeMessageBoxes boxes;
  FakeClock clock;
  TimeDisplay display{settings};
  std::unique_ptr<SyncLog> log;

  DialogRig() {
    LoadDefaults(settings, store, boxes);
    settings.LogFilePath = dir.path() + "/Quorvane.txt";
    WriteFileBytes(settings.LogFilePath, "");
    display.MakeSharedFont();
    log = std::make_unique<SyncLog>(settings, clock, boxes);
  }
  LoggingDialogContext Context() { return {settings, store, boxes, *log, display}; }
  std::unique_ptr<CLoggingDialog> Make() { return std::make_unique<CLoggingDialog>(Context()); }
};

template <typename W>
W* Find(QWidget& dialog, const char* name) {
  W* w = dialog.findChild<W*>(QString::fromUtf8(name));
  EXPECT_NE(w, nullptr) << name;
  return w;
}

QString Text(QWidget& dialog, const char* name) { return Find<QLineEdit>(dialog, name)->text(); }

std::string EnabledLimitControls(QWidget& dialog) {
  std::string enabled;
  for (const char* name : kLimitControls) {
    if (Find<QWidget>(dialog, name)->isEnabled())
      enabled += std::string(enabled.empty() ? "" : " ") + name;
  }
  return enabled;
}

TEST(LoggingDialog, LimitControlsFollowTheLimitTypeAndTheSwitch) {
  struct Case {
    int32_t logToFile;
    int32_t type;
    const char* enabled;
  };
  const std::string radios = "noLimitRadio sizeLimitRadio timeLimitRadio";
  const Case cases[] = {
      {1, 0, "noLimitRadio sizeLimitRadio timeLimitRadio"},
      {1, 1, "noLimitRadio sizeLimitRadio timeLimitRadio sizeLimitEdit backupsEdit backupsUpDown"},
      {1, 2,
       "noLimitRadio sizeLimitRadio timeLimitRadio timeLimitEdit timeLimitUpDown timeUnitCombo "
       "backupsEdit backupsUpDown"},
      {1, 7, "noLimitRadio sizeLimitRadio timeLimitRadio"},
      {0, 2, ""},
  };
  for (const Case& c : cases) {
    DialogRig rig;
    rig.settings.LogToFile = c.logToFile;
    rig.settings.Log_Limit_Type = c.type;
    auto dialog = rig.Make();
    EXPECT_EQ(EnabledLimitControls(*dialog), c.enabled) << c.logToFile << " " << c.type;
    // The switch clears everything, and ticking it again brings back the type's inputs.
    QCheckBox* box = Find<QCheckBox>(*dialog, "logToFileCheck");
    if (c.logToFile) box->click();
    EXPECT_EQ(EnabledLimitControls(*dialog), "") << c.type;
    box->click();
    const Case& on = c.logToFile ? c : cases[2];
    EXPECT_EQ(EnabledLimitControls(*dialog), on.enabled) << c.type;
  }
}

TEST(LoggingDialog, RadioButtonsChangeTheTypeAtOnceAndRefresh) {
  DialogRig rig;
  rig.settings.Log_Size_Limit_Number = 5;
  auto dialog = rig.Make();
  QLineEdit* size = Find<QLineEdit>(*dialog, "sizeLimitEdit");
  Find<QRadioButton>(*dialog, "sizeLimitRadio")->click();
  EXPECT_EQ(rig.settings.Log_Limit_Type, 1);
  EXPECT_EQ(size->text(), "5");
  size->setText("12");  // not saved yet: the next refresh puts the setting back
  Find<QRadioButton>(*dialog, "timeLimitRadio")->click();
  EXPECT_EQ(rig.settings.Log_Limit_Type, 2);
  Find<QRadioButton>(*dialog, "sizeLimitRadio")->click();
  EXPECT_EQ(size->text(), "5");
  EXPECT_TRUE(rig.store.writtenKeys.empty());
}

TEST(LoggingDialog, OkWritesTheKeysOfTheChosenTypeInOrder) {
  struct Case {
    int32_t logToFile;
    const char* radio;
    std::vector<std::string> keys;
  };
  const Case cases[] = {
      {0, "timeLimitRadio", {"LogToFile"}},
      {1, "noLimitRadio", {"LogToFile", "Log_Limit_Type"}},
      {1,
       "sizeLimitRadio",
       {"LogToFile", "Log_Limit_Type", "Log_Size_Limit_Number", "Logs_To_Keep"}},
      {1,
       "timeLimitRadio",
       {"LogToFile", "Log_Limit_Type", "Log_Time_Limit_Number", "Log_Time_Limit_Unit",
        "Logs_To_Keep"}},
  };
  for (const Case& c : cases) {
    DialogRig rig;
    rig.settings.Log_Limit_Type = 1;
    rig.settings.Log_Size_Limit_Number = 3;
    rig.settings.Log_Time_Limit_Number = 6;
    rig.settings.Log_Time_Limit_Unit = "Days";
    rig.settings.Logs_To_Keep = 4;
    auto dialog = rig.Make();
    Find<QRadioButton>(*dialog, c.radio)->click();
    if (c.logToFile == 0) Find<QCheckBox>(*dialog, "logToFileCheck")->click();
    Find<QPushButton>(*dialog, "okButton")->click();
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(rig.store.writtenKeys, c.keys) << c.radio;
    for (const std::string& key : c.keys) {
      const FakeSettingsStore::Value expected =
          key == "LogToFile"               ? FakeSettingsStore::Value(c.logToFile)
          : key == "Log_Limit_Type"        ? FakeSettingsStore::Value(rig.settings.Log_Limit_Type)
          : key == "Log_Size_Limit_Number" ? FakeSettingsStore::Value(3)
          : key == "Log_Time_Limit_Number" ? FakeSettingsStore::Value(6)
          : key == "Log_Time_Limit_Unit"   ? FakeSettingsStore::Value(std::string("Days"))
                                           : FakeSettingsStore::Value(4);
      EXPECT_EQ(rig.store.values[key], expected) << key;
    }
  }
}

TEST(LoggingDialog, AFieldWithoutANumberKeepsItsSetting) {
  for (const char* text : {"", "99999999999"}) {
    DialogRig rig;
    rig.settings.Log_Limit_Type = 1;
    rig.settings.Log_Size_Limit_Number = 7;
    auto dialog = rig.Make();
    Find<QLineEdit>(*dialog, "sizeLimitEdit")->setText(text);
    Find<QPushButton>(*dialog, "okButton")->click();
    EXPECT_EQ(rig.settings.Log_Size_Limit_Number, 7) << text;
    EXPECT_EQ(rig.store.values["Log_Size_Limit_Number"], FakeSettingsStore::Value(7)) << text;
  }
}

TEST(LoggingDialog, TimeCountStaysWithinItsArrowsRange) {
  struct Case {
    int32_t stored;
    const char* shown;
    const char* afterUp;
    const char* afterDown;
  };
  const Case cases[] = {{0, "1", "2", "1"},
                        {-5, "1", "2", "1"},
                        {12, "12", "13", "12"},
                        {24, "24", "24", "23"},
                        {65537, "24", "24", "23"}};
  for (const Case& c : cases) {
    DialogRig rig;
    rig.settings.Log_Limit_Type = 2;
    rig.settings.Log_Time_Limit_Number = c.stored;
    auto dialog = rig.Make();
    QLineEdit* count = Find<QLineEdit>(*dialog, "timeLimitEdit");
    EXPECT_EQ(count->text(), c.shown) << c.stored;
    QKeyEvent up(QEvent::KeyPress, Qt::Key_Up, Qt::NoModifier);
    QApplication::sendEvent(count, &up);
    EXPECT_EQ(count->text(), c.afterUp) << c.stored;
    Find<QWidget>(*dialog, "timeLimitUpDown")->findChild<QAbstractButton*>("down")->click();
    EXPECT_EQ(count->text(), c.afterDown) << c.stored;
    Find<QPushButton>(*dialog, "okButton")->click();
    EXPECT_EQ(rig.settings.Log_Time_Limit_Number, QString(c.afterDown).toInt());
  }
}

TEST(LoggingDialog, BackupsStepFromTheShownCountWithinZeroToNine) {
  DialogRig rig;
  rig.settings.Log_Limit_Type = 1;
  rig.settings.Logs_To_Keep = 9;
  auto dialog = rig.Make();
  QLineEdit* backups = Find<QLineEdit>(*dialog, "backupsEdit");
  EXPECT_EQ(backups->text(), "9");
  QKeyEvent up(QEvent::KeyPress, Qt::Key_Up, Qt::NoModifier);
  QApplication::sendEvent(backups, &up);
  EXPECT_EQ(backups->text(), "9");
  for (int i = 0; i < 12; ++i) {
    QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
    QApplication::sendEvent(backups, &down);
  }
  EXPECT_EQ(backups->text(), "0");
  EXPECT_EQ(backups->font(), rig.display.SharedFont());
}

TEST(LoggingDialog, UnitIsChosenByPrefixFromWeeksOnwards) {
  const std::map<std::string, int> cases = {{"Hours", 0}, {"hours", 0}, {"DAYS", 1},       {"m", 3},
                                            {"", 2},      {"h", 0},     {"Fortnights", -1}};
  for (const auto& [unit, index] : cases) {
    DialogRig rig;
    rig.settings.Log_Limit_Type = 2;
    rig.settings.Log_Time_Limit_Unit = unit;
    auto dialog = rig.Make();
    QComboBox* combo = Find<QComboBox>(*dialog, "timeUnitCombo");
    EXPECT_EQ(combo->currentIndex(), index) << unit;
    Find<QPushButton>(*dialog, "okButton")->click();
    EXPECT_EQ(rig.settings.Log_Time_Limit_Unit,
              index < 0 ? "" : combo->itemText(index).toStdString());
  }
}

// The fields for a known log, its sources sorted without regard to case.
TEST(LoggingDialog, ShowsTheStatisticsOfTheLog) {
  DialogRig rig;
  WriteFileBytes(rig.settings.LogFilePath,
                 "2009/07/04,14:05:09,+0.500000,zeta.example,1,H,S\r\n"
                 "2009/07/04,15:05:09,-0.750000,Alpha.example,1,H,S\r\n"
                 "2009/07/04,16:05:09,+0.100000,Broadcast,10,M,F\r\n"
                 "2009/07/04,17:05:09,+0.200000,beta.example,1,H,S\r\n");
  auto dialog = rig.Make();
  EXPECT_TRUE(rig.boxes.shown.empty());
  EXPECT_EQ(dialog->windowTitle(), "Logging & Statistics");
  EXPECT_EQ(Text(*dialog, "logSizeEdit"), "199 Bytes");
  EXPECT_EQ(Text(*dialog, "firstEntryEdit"), "2009/07/04 14:05:09");
  EXPECT_EQ(Text(*dialog, "lastEntryEdit"), "2009/07/04 17:05:09");
  EXPECT_EQ(Text(*dialog, "correctionCountEdit"), "4");
  EXPECT_EQ(Text(*dialog, "averageEdit"), "0.387500");
  EXPECT_EQ(Text(*dialog, "maximumEdit"), "-0.750000");
  EXPECT_EQ(Text(*dialog, "maxPositiveEdit"), "0.500000");
  EXPECT_EQ(Text(*dialog, "maxNegativeEdit"), "-0.750000");
  EXPECT_EQ(Text(*dialog, "minimumEdit"), "0.100000");
  EXPECT_EQ(Text(*dialog, "successCountEdit"), "3");
  EXPECT_EQ(Text(*dialog, "failureCountEdit"), "1");
  QListWidget* list = Find<QListWidget>(*dialog, "sourceList");
  QStringList rows;
  for (int i = 0; i < list->count(); ++i) rows << list->item(i)->text();
  EXPECT_EQ(rows,
            QStringList({"Alpha.example\tPolls: 1\tReplies: 1\tAverage Correction: 0.750000",
                         "beta.example\tPolls: 1\tReplies: 1\tAverage Correction: 0.200000",
                         "Broadcast\tPolls: N/A\tReceived: 0\tAverage Correction: 0.100000",
                         "zeta.example\tPolls: 1\tReplies: 1\tAverage Correction: 0.500000"}));
  EXPECT_EQ(list->selectionMode(), QAbstractItemView::NoSelection);
}

TEST(LoggingDialog, MissingLogIsToldBeforeTheDialogShows) {
  DialogRig rig;
  std::filesystem::remove(rig.settings.LogFilePath);
  bool visibleAtBox = true;
  rig.boxes.onShow = [&](const BoxRequest&) {
    visibleAtBox = QApplication::activeModalWidget() != nullptr;
  };
  auto dialog = rig.Make();
  EXPECT_EQ(rig.boxes.Texts(), std::vector<std::string>{kLogMissingText});
  EXPECT_FALSE(visibleAtBox);
  EXPECT_EQ(Text(*dialog, "logSizeEdit"), "");
  EXPECT_EQ(Text(*dialog, "averageEdit"), "N/A");
  EXPECT_EQ(Text(*dialog, "minimumEdit"), "1.000000");
  EXPECT_EQ(Text(*dialog, "firstEntryEdit"), "");
  EXPECT_EQ(Find<QListWidget>(*dialog, "sourceList")->count(), 0);
}

// Runs command 40044 and lets `act` work the open dialog.
void RunCommand(DialogRig& rig, std::vector<std::string>& statuses,
                const std::function<void(CLoggingDialog&)>& act) {
  CommandRegistry commands;
  RegisterLoggingCommand(commands, nullptr, rig.Context(),
                         [&](const std::string& text) { statuses.push_back(text); });
  bool ran = false;
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<CLoggingDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    ran = true;
    act(*dialog);
  });
  commands.Run(cmd::kLogging);
  EXPECT_TRUE(ran);
}

TEST(LoggingDialog, CancelPutsBackTheLimitValuesButNotTheClearedLog) {
  DialogRig rig;
  rig.settings.Log_Limit_Type = 1;
  WriteFileBytes(rig.settings.LogFilePath, "2009/07/04,14:05:09,+0.5,h,1,H,S\r\n");
  std::vector<std::string> statuses;
  RunCommand(rig, statuses, [&](CLoggingDialog& d) {
    Find<QRadioButton>(d, "timeLimitRadio")->click();
    EXPECT_EQ(rig.settings.Log_Limit_Type, 2);
    Find<QPushButton>(d, "clearLogButton")->click();
    Find<QPushButton>(d, "cancelButton")->click();
  });
  EXPECT_EQ(rig.settings.Log_Limit_Type, 1);
  EXPECT_TRUE(rig.store.writtenKeys.empty());
  EXPECT_TRUE(statuses.empty());
  EXPECT_EQ(ReadFileBytes(rig.settings.LogFilePath), "");
}

TEST(LoggingDialog, OkIsToldInTheStatusBar) {
  DialogRig rig;
  std::vector<std::string> statuses;
  RunCommand(rig, statuses, [](CLoggingDialog& d) { Find<QPushButton>(d, "okButton")->click(); });
  EXPECT_EQ(statuses, std::vector<std::string>{kLoggingSavedText});
}

// Rotation keeps the number of backups in force when the dialog opened.
TEST(LoggingDialog, RotateUsesTheBackupCountOfTheOpening) {
  DialogRig rig;
  rig.settings.Log_Limit_Type = 1;
  rig.settings.Logs_To_Keep = 0;
  WriteFileBytes(rig.settings.LogFilePath, "old\r\n");
  auto dialog = rig.Make();
  QKeyEvent up(QEvent::KeyPress, Qt::Key_Up, Qt::NoModifier);
  QApplication::sendEvent(Find<QLineEdit>(*dialog, "backupsEdit"), &up);
  EXPECT_EQ(Text(*dialog, "backupsEdit"), "1");
  Find<QPushButton>(*dialog, "rotateLogsButton")->click();
  EXPECT_FALSE(std::filesystem::exists(rig.settings.LogFilePath + ".1"));
  EXPECT_EQ(ReadFileBytes(rig.settings.LogFilePath), "");
}

TEST(LoggingDialog, ControlsSitAtTheirTemplateRectangles) {
  DialogRig rig;
  auto dialog = rig.Make();
  const QFontMetrics m = dialog->fontMetrics();
  EXPECT_EQ(dialog->size(), DialogUnitsToPixels(m, 0, 0, 343, 268).size());
  EXPECT_EQ(Find<QWidget>(*dialog, "okButton")->geometry(), DialogUnitsToPixels(m, 286, 7, 50, 14));
  EXPECT_EQ(Find<QWidget>(*dialog, "sourceList")->geometry(),
            DialogUnitsToPixels(m, 14, 216, 319, 45));
  const int labelX = DialogUnitsToPixels(m, 187, 0, 0, 0).x();
  for (const char* text :
       {"Number of corrections:", "Average correction:", "Maximum correction:",
        "Minimum correction:", "First log entry at", "Number of failed polls:"}) {
    bool found = false;
    for (QLabel* label : dialog->findChildren<QLabel*>()) {
      if (label->text() != text) continue;
      found = true;
      EXPECT_EQ(label->x(), labelX) << text;
    }
    EXPECT_TRUE(found) << text;
  }
  // Tab order follows the template from OK to the source list.
  QWidget* w = Find<QWidget>(*dialog, "okButton");
  std::vector<std::string> order;
  for (; order.size() < 6; w = w->nextInFocusChain()) {
    if (w->focusPolicy() & Qt::TabFocus) order.push_back(w->objectName().toStdString());
  }
  EXPECT_EQ(order, (std::vector<std::string>{"okButton", "cancelButton", "logToFileCheck",
                                             "logSizeEdit", "clearLogButton", "rotateLogsButton"}));
}

}  // namespace
}  // namespace quorvane::testing
