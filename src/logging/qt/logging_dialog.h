#pragma once

#include <QDialog>
#include <functional>
#include <string>

#include "base/app_settings.h"
#include "ports/message_boxes.h"
#include "ports/settings_store.h"
#include "ui/command_registry.h"
#include "ui/time_band.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;

namespace quorvane {

class SyncLog;
class UpDownControl;

inline constexpr const char* kLoggingDialogTitle = "Logging & Statistics";
inline constexpr const char* kLoggingSavedText = "Logging configuration changes saved.";

// What the dialog works on; everything outlives it.
struct LoggingDialogContext {
  AppSettings& settings;
  SettingsStore& store;
  MessageBoxes& boxes;
  SyncLog& log;
  const TimeDisplay& display;
};

// Switches the sync log on or off, sets its limit and backups, clears or rotates it at
// once, and shows the statistics of the log as it was when the dialog opened.
class CLoggingDialog : public QDialog {
  Q_OBJECT

 public:
  explicit CLoggingDialog(LoggingDialogContext context, QWidget* parent = nullptr);

  // Reads the controls into the settings and writes the logging keys, then closes.
  void OnOK();
  void accept() override { OnOK(); }

 private:
  void BuildControls();
  void BuildLimitControls();
  void BuildStatisticsFields();
  void SetTabOrder();
  void OnInitDialog();
  void ShowStatistics();
  void DisableLimitControls();
  void RefreshLimitControls();
  void SelectUnit(const std::string& unit);
  void OnLimitRadio(int32_t type);
  void OnLoggingSwitch(bool on);

  LoggingDialogContext ctx_;
  QPushButton* ok_ = nullptr;
  QPushButton* cancel_ = nullptr;
  QCheckBox* logToFile_ = nullptr;
  QLineEdit* logSize_ = nullptr;
  QPushButton* clear_ = nullptr;
  QPushButton* rotate_ = nullptr;
  QRadioButton* noLimit_ = nullptr;
  QRadioButton* sizeLimit_ = nullptr;
  QRadioButton* timeLimit_ = nullptr;
  QLineEdit* sizeNumber_ = nullptr;
  QLineEdit* timeNumber_ = nullptr;
  UpDownControl* timeSpin_ = nullptr;
  QComboBox* timeUnit_ = nullptr;
  QLineEdit* backups_ = nullptr;
  UpDownControl* backupsSpin_ = nullptr;
  QLineEdit* statistics_[10] = {};
  QListWidget* sources_ = nullptr;
};

// Command 40044: runs the dialog; OK says so in the status bar, Cancel puts back the four
// limit values the radio buttons and buttons may have changed in memory.
void RegisterLoggingCommand(CommandRegistry& commands, QWidget* parent,
                            LoggingDialogContext context,
                            std::function<void(const std::string&)> showStatus);

}  // namespace quorvane
