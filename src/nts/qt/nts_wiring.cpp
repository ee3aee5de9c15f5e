#include "nts/qt/nts_wiring.h"

#include <QAction>
#include <QWidget>

#include "base/settings_table.h"
#include "platform/linux/gnutls_ke_connector.h"
#include "sntp/sntp_engine.h"
#include "ui/command_ids.h"

namespace quorvane {

namespace {

void ShowUseNtsChecked(QWidget& window, bool on) {
  for (QAction* action : window.findChildren<QAction*>()) {
    if (action->data().toInt() == cmd::kUseNts) action->setChecked(on);
  }
}

}  // namespace

NtsWiring::NtsWiring(FdWatcher& watcher, SocketFactory& plain, AppSettings& settings, EngineUi& ui,
                     Clock& clock, const std::unique_ptr<SntpEngine>& engine) {
  client_ = std::make_unique<nts::NtsClient>(std::make_shared<GnutlsKeConnector>(), aead_, watcher,
                                             [&settings] { return settings.NTS_Trust_File; });
  const auto testing = [&engine] { return engine && engine->State().Testing(); };
  nts::NtsSocketHooks hooks{[&ui, testing](const std::string& text) {
                              if (!testing()) ui.ShowStatus(text);
                            },
                            nts::EngineSendLate(clock, [&engine](NtpSeconds t1) {
                              if (engine) engine->MutableState().T1 = t1;
                            })};
  factory_ = std::make_unique<nts::NtsSocketFactory>(
      *client_, plain,
      [&settings, testing] {
        return settings.Use_NTS != 0 && (settings.Socket_Mode != kListenMode || testing());
      },
      std::move(hooks));
}

NtsWiring::~NtsWiring() = default;

void RegisterUseNtsCommand(QWidget& window, CommandRegistry& commands, AppSettings& settings,
                           SettingsStore& store) {
  ShowUseNtsChecked(window, settings.Use_NTS != 0);
  commands.Register(cmd::kUseNts, [&window, &settings, &store] {
    settings.Use_NTS = settings.Use_NTS != 0 ? 0 : 1;
    settings::Save(store, settings, settings::Use_NTS);
    ShowUseNtsChecked(window, settings.Use_NTS != 0);
  });
}

CommandRegistry::Handler WithListenNtsNotice(CommandRegistry::Handler listen, AppSettings& settings,
                                             MessageBoxes& boxes) {
  return [listen = std::move(listen), &settings, &boxes] {
    if (settings.Use_NTS != 0 && settings.Socket_Mode != kListenMode) {
      boxes.Show(ApplicationBox(kListenNtsNotice));
    }
    listen();
  };
}

}  // namespace quorvane
