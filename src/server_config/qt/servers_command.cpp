#include "server_config/qt/servers_command.h"

#include <memory>

#include "server_config/qt/time_base_dialog.h"
#include "server_config/server_dialog_rules.h"
#include "ui/main_window.h"

namespace quorvane {

void RunServersCommand(const ServersCommandPorts& ports) {
  AppSettings& settings = ports.settings;
  CTimeBaseDialog dialog(
      settings.Primary_Server, settings.Secondary_Server,
      ServerDialogPorts{settings, ports.store, ports.engine, ports.boxes, ports.files},
      ports.owner);
  ports.engine.SetServerDialogOpen(true);
  ports.ui.SetServerTestListener(&dialog);
  const int result = dialog.exec();
  ports.ui.SetServerTestListener(nullptr);
  // Also ends a test still pending: its result has nobody to go to.
  ports.engine.SetServerDialogOpen(false);
  if (result != QDialog::Accepted) {
    settings.ServerInUse = ServerNamedByUsingServer(settings);
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
