#include "server_config/qt/servers_command.h"

#include <memory>

#include "server_config/qt/time_base_dialog.h"
#include "server_config/server_dialog_rules.h"
#include "ui/main_window.h"

namespace quorvane {

namespace {

// The engine knows the dialog is open from before its set-up, which may show the missing-list
// box while the timer ticks on, until it is gone, however it went: while the mark is up, the
// timer starts no sync and Listen mode gives no warning, and test results go to the dialog.
class OpenServerDialogMark {
 public:
  explicit OpenServerDialogMark(const ServersCommandPorts& ports) : ports_(ports) {
    ports_.engine.SetServerDialogOpen(true);
  }
  ~OpenServerDialogMark() {
    ports_.ui.SetServerTestListener(nullptr);
    // Also ends a test still pending: its result has nobody to go to.
    ports_.engine.SetServerDialogOpen(false);
  }
  OpenServerDialogMark(const OpenServerDialogMark&) = delete;
  OpenServerDialogMark& operator=(const OpenServerDialogMark&) = delete;

  void SendResultsTo(ServerTestListener& dialog) { ports_.ui.SetServerTestListener(&dialog); }

 private:
  const ServersCommandPorts& ports_;
};

// Runs the dialog; its OK has applied and written everything before it closes.
bool RunDialog(const ServersCommandPorts& ports) {
  const AppSettings& settings = ports.settings;
  OpenServerDialogMark open(ports);
  CTimeBaseDialog dialog(
      settings.Primary_Server, settings.Secondary_Server,
      ServerDialogPorts{ports.settings, ports.store, ports.engine, ports.boxes, ports.files},
      ports.owner);
  open.SendResultsTo(dialog);
  return dialog.exec() == QDialog::Accepted;
}

}  // namespace

void RunServersCommand(const ServersCommandPorts& ports) {
  if (!RunDialog(ports)) {
    ports.settings.ServerInUse = ServerNamedByUsingServer(ports.settings);
    return;
  }
  ports.ui.PutStatus(kServerConfigSavedText);
}

void RegisterServersCommand(CMainWindow& window, AppSettings& settings, SettingsStore& store,
                            MessageBoxes& boxes, SntpEngine& engine) {
  auto files = std::make_shared<PosixListFileOps>();
  CMainWindow* owner = &window;
  window.Commands().Register(cmd::kServers, [=, &settings, &store, &boxes, &engine] {
    RunServersCommand(
        ServersCommandPorts{settings, store, boxes, engine, owner->Ui(), *files, owner});
  });
}

}  // namespace quorvane
