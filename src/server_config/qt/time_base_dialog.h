#pragma once

#include <QDialog>
#include <string>

#include "base/app_settings.h"
#include "ports/message_boxes.h"
#include "ports/settings_store.h"
#include "server_config/list_file_ops.h"
#include "server_config/qt/server_dialog_template.h"
#include "server_config/server_list.h"
#include "sntp/sntp_engine.h"
#include "ui/window_engine_ui.h"

class QComboBox;

namespace quorvane {

inline constexpr const char* kServerDialogTitle = "Server Configuration";
inline constexpr const char* kUntestedText = "Untested";
inline constexpr const char* kTestingText = "Testing ...";
inline constexpr const char* kSucceededText = "Succeeded";
inline constexpr const char* kFailedText = "FAILED !!!";
inline constexpr const char* kNoTimeText = "    --------";

// What the dialog works with besides its own controls.
struct ServerDialogPorts {
  AppSettings& settings;
  SettingsStore& store;
  SntpEngine& engine;  // runs the server tests; told of new servers on OK
  MessageBoxes& boxes;
  ListFileOps& files;
};

// Server Configuration: the poll servers, interval, correction limit and failure notice,
// the standard and custom server lists, and tests of either server field. OK takes the
// fields into the settings, saves the lists and then writes the settings; Cancel takes nothing.
class CTimeBaseDialog : public QDialog, public ServerTestListener {
  Q_OBJECT

 public:
  CTimeBaseDialog(std::string primary, std::string secondary, const ServerDialogPorts& ports,
                  QWidget* owner = nullptr);

  // The servers as OK took them from the fields.
  const std::string& PrimaryServer() const { return primary_; }
  const std::string& SecondaryServer() const { return secondary_; }

  void TestSucceeded() override;
  void TestFailed() override;
  // OK: the fields into the settings, the lists to the file, then the eight keys to the
  // store, all before the dialog closes; it closes accepted whatever the save met.
  void accept() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void OnInitDialog();
  void ShowCounts();
  void LoadLists();
  void ConnectHandlers();
  void StartTest(int target);
  const TestPanel* PanelOf(int target) const;
  void MakeServer(QLineEdit* field);
  void AddCustom();
  void RemoveCustom();
  ServerLists ListsShown() const;

  std::string primary_;
  std::string secondary_;
  ServerDialogPorts ports_;
  bool standardChosen_ = false;
  bool customChosen_ = false;
  std::string listPath_;
  std::string tempPath_;
  ServerDialogControls c_;
};

// A server list entry's bytes, kept with the text the list shows for it.
std::string EntryBytes(const QComboBox& list, int index);
// Adds an entry at its sorted place (after equal ones).
void InsertSorted(QComboBox& list, const std::string& entry);

}  // namespace quorvane
