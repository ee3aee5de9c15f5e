#pragma once

#include <functional>
#include <memory>

#include "base/app_settings.h"
#include "nts/nts_client.h"
#include "nts/nts_socket.h"
#include "platform/linux/nettle_siv_aead.h"
#include "ports/message_boxes.h"
#include "ports/settings_store.h"
#include "ui/command_registry.h"

class QWidget;

namespace quorvane {

class SntpEngine;
class Clock;
class EngineUi;

// Authenticated time in the program: the cipher, key establishment over TLS, the sessions
// shared by every poll, and the socket factory the engine polls through. While Use_NTS is
// on, every poll socket is authenticated; listening sockets stay plain (a server test
// borrowing one in Listen mode is authenticated too).
class NtsWiring {
 public:
  // `engine` is read only when a socket is made or an answer arrives, so it may be set later.
  NtsWiring(FdWatcher& watcher, SocketFactory& plain, AppSettings& settings, EngineUi& ui,
            Clock& clock, const std::unique_ptr<SntpEngine>& engine);
  ~NtsWiring();
  SocketFactory& Sockets() { return *factory_; }

 private:
  NettleSivAead aead_;
  std::unique_ptr<nts::NtsClient> client_;
  std::unique_ptr<nts::NtsSocketFactory> factory_;
};

// The Options item: toggles Use_NTS, stores it at once, and keeps the check marks of the
// window's menus on the setting.
void RegisterUseNtsCommand(QWidget& window, CommandRegistry& commands, AppSettings& settings,
                           SettingsStore& store);

// The Listen mode command, preceded while NTS is on by a box saying broadcasts are not
// authenticated (polls, such as a server test, stay authenticated).
CommandRegistry::Handler WithListenNtsNotice(CommandRegistry::Handler listen, AppSettings& settings,
                                             MessageBoxes& boxes);

inline constexpr const char* kListenNtsNotice =
    "Broadcasts cannot be authenticated: Listen mode has no Network Time Security.\n"
    "Polls, such as a server test, stay authenticated.";

}  // namespace quorvane
