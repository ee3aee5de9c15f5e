#pragma once

#include <QDialog>
#include <cstdint>
#include <optional>

#include "base/app_settings.h"
#include "ports/message_boxes.h"
#include "ports/settings_store.h"
#include "ui/command_registry.h"

class QComboBox;
class QLineEdit;
class QPushButton;

namespace quorvane {

class SntpEngine;

inline constexpr const char* kBroadcastTimeoutTitle = "Broadcast Timeout";

// "%d" of a field: blanks, an optional sign and the digits up to the first other character;
// nothing when the text holds no number or one that does not fit in 32 bits.
std::optional<int32_t> DecimalPrefix(const QString& text);

// What the dialog works on; everything outlives it.
struct BroadcastTimeoutContext {
  AppSettings& settings;
  SettingsStore& store;
  MessageBoxes& boxes;
  uint32_t& BroadcastTickCount;
};

// Sets the broadcast time-out and the largest correction a broadcast may make, each a count
// with a unit, before listen mode starts or restarts. OK stores the four values.
class CBroadcastTimeoutDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CBroadcastTimeoutDlg(BroadcastTimeoutContext context, QWidget* parent = nullptr);

  // Reads the fields into the settings, writes the four keys and closes with OK.
  void OnOK();
  void accept() override { OnOK(); }

 private:
  void BuildControls();
  void OnInitDialog();

  BroadcastTimeoutContext ctx_;
  QPushButton* ok_ = nullptr;
  QPushButton* cancel_ = nullptr;
  QLineEdit* timeout_ = nullptr;
  QPushButton* restart_ = nullptr;
  QLineEdit* maxCorrection_ = nullptr;
  QComboBox* timeoutUnit_ = nullptr;
  QComboBox* maxCorrectionUnit_ = nullptr;
};

// Command 40046: the dialog, then listen mode on OK.
void RunListenModeCommand(QWidget* parent, SntpEngine& engine, BroadcastTimeoutContext context);
// The same, as the handler the main window registers.
CommandRegistry::Handler ListenModeHandler(QWidget* parent, SntpEngine& engine,
                                           AppSettings& settings, SettingsStore& store,
                                           MessageBoxes& boxes);

}  // namespace quorvane
