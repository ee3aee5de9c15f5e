#pragma once

#include <functional>
#include <string>

#include "base/app_settings.h"
#include "ports/settings_store.h"
#include "ui/command_registry.h"
#include "ui/window_menus.h"

class QMainWindow;
class QSystemTrayIcon;

namespace quorvane {

// The tray icon, the window's trip into the tray and back, and the three start-up and
// tray options with their check marks.
class TrayState {
 public:
  TrayState(QMainWindow& window, WindowMenus& menus, AppSettings& settings, SettingsStore& store,
            std::function<bool()> trayAvailable, std::string executablePath);

  // Restore and the three option toggles.
  void RegisterCommands(CommandRegistry& commands);
  // Hides a minimised window into the tray when the option asks for it.
  void MinimizeToTrayStep();
  void RestoreFromTray();
  void HideIcon();
  bool IconShown() const { return iconShown_; }

 private:
  void ShowIcon();
  void ToggleMinimizeToTray();
  void ToggleStartMinimized();
  void ToggleRunAtStartup();

  QMainWindow& window_;
  WindowMenus& menus_;
  AppSettings& settings_;
  SettingsStore& store_;
  std::function<bool()> trayAvailable_;
  std::string executablePath_;
  QSystemTrayIcon* tray_ = nullptr;
  bool iconShown_ = false;
};

}  // namespace quorvane
