#include "ui/tray_state.h"

#include <QMainWindow>
#include <QSystemTrayIcon>

#include "base/settings_table.h"
#include "platform/linux/autostart.h"
#include "ui/app_icon.h"
#include "ui/command_ids.h"

namespace quorvane {

TrayState::TrayState(QMainWindow& window, WindowMenus& menus, AppSettings& settings,
                     SettingsStore& store, std::function<bool()> trayAvailable,
                     std::string executablePath)
    : window_(window),
      menus_(menus),
      settings_(settings),
      store_(store),
      trayAvailable_(std::move(trayAvailable)),
      executablePath_(std::move(executablePath)) {
  menus_.SetChecked(cmd::kMinimizeToTray, settings_.MinimizeToTray == 1);
  menus_.SetChecked(cmd::kRunAtStartup, settings_.RunAtStartup == 1);
  menus_.SetChecked(cmd::kStartMinimized, settings_.StartMinimized == 1);
  tray_ = new QSystemTrayIcon(AppIcon(), &window_);
  tray_->setToolTip(QStringLiteral("Quorvane"));
  tray_->setContextMenu(menus_.TrayMenu());
  QObject::connect(tray_, &QSystemTrayIcon::activated, &window_,
                   [this](QSystemTrayIcon::ActivationReason r) {
                     if (r == QSystemTrayIcon::Trigger) RestoreFromTray();
                   });
}

void TrayState::RegisterCommands(CommandRegistry& commands) {
  commands.Register(cmd::kRestore, [this] { RestoreFromTray(); });
  commands.Register(cmd::kMinimizeToTray, [this] { ToggleMinimizeToTray(); });
  commands.Register(cmd::kRunAtStartup, [this] { ToggleRunAtStartup(); });
  commands.Register(cmd::kStartMinimized, [this] { ToggleStartMinimized(); });
}

void TrayState::ToggleMinimizeToTray() {
  settings_.MinimizeToTray = settings_.MinimizeToTray == 0 ? 1 : 0;
  menus_.SetChecked(cmd::kMinimizeToTray, settings_.MinimizeToTray == 1);
  if (settings_.MinimizeToTray == 0) HideIcon();
}

void TrayState::ToggleStartMinimized() {
  settings_.StartMinimized = settings_.StartMinimized == 0 ? 1 : 0;
  menus_.SetChecked(cmd::kStartMinimized, settings_.StartMinimized == 1);
  settings::Save(store_, settings_, settings::StartMinimized);
}

void TrayState::ToggleRunAtStartup() {
  settings_.RunAtStartup = settings_.RunAtStartup == 0 ? 1 : 0;
  // A folder that cannot be written leaves the setting toggled all the same.
  if (settings_.RunAtStartup == 1) {
    WriteAutostartEntry(AutostartDirectory(), AutostartProgramPath(executablePath_));
  } else {
    RemoveAutostartEntry(AutostartDirectory());
  }
  menus_.SetChecked(cmd::kRunAtStartup, settings_.RunAtStartup == 1);
  settings::Save(store_, settings_, settings::RunAtStartup);
}

void TrayState::ShowIcon() {
  tray_->show();
  iconShown_ = true;
}

void TrayState::HideIcon() {
  tray_->hide();
  iconShown_ = false;
}

void TrayState::RestoreFromTray() {
  window_.showNormal();
  window_.activateWindow();
}

void TrayState::MinimizeToTrayStep() {
  if (!window_.isVisible() || !window_.isMinimized() || settings_.MinimizeToTray != 1) return;
  // Without a notification area a hidden window could never be brought back.
  if (!trayAvailable_()) return;
  ShowIcon();
  // Hiding from inside the state change confuses some window managers; do it next.
  QMainWindow* window = &window_;
  QMetaObject::invokeMethod(
      window,
      [window] {
        if (window->isMinimized()) window->hide();
      },
      Qt::QueuedConnection);
}

}  // namespace quorvane
