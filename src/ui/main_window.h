#pragma once

#include <QMainWindow>
#include <functional>
#include <memory>
#include <string>

#include "base/app_settings.h"
#include "ports/clock.h"
#include "ports/message_boxes.h"
#include "ports/settings_store.h"
#include "sntp/sntp_engine.h"
#include "ui/command_ids.h"
#include "ui/command_registry.h"
#include "ui/desktop_services.h"
#include "ui/time_band.h"
#include "ui/window_engine_ui.h"

class QLabel;
class QMenu;
class QTimer;
class QWidget;

namespace quorvane {

class TrayState;
class WindowMenus;

inline constexpr const char* kWindowTitle = "Quorvane v2.0";
inline constexpr const char* kCloseQuestion =
    "This will stop the program -- the PC's clock will no longer be sychronized.\n\n"
    "If you want synchronization to continue in the background\n"
    "then minimize the window instead of closing it.\n\nStop Quorvane?";

// The program's only top-level window: two command buttons, the time band, the status
// bar with its progress bar, the three menus, the tray icon and the 200 ms timer.
class CMainWindow : public QMainWindow {
  Q_OBJECT

 public:
  CMainWindow(AppSettings& settings, SettingsStore& store, MessageBoxes& boxes, Clock& clock,
              DesktopServices desktop, std::string executablePath, QWidget* parent = nullptr);
  ~CMainWindow() override;

  // Until an engine is set a tick only paints the time.
  void SetEngine(SntpEngine* engine);
  // Called on a confirmed close: stops the worker while pumping events, so a worker blocked
  // in a synchronous send can finish.
  void SetShutdownHook(std::function<void()> hook) { shutdownHook_ = std::move(hook); }

  // What the menus and buttons do, by command id; dialogs add theirs here.
  CommandRegistry& Commands() { return commands_; }
  // Carries out a menu or button command by its id.
  void ExecuteCommand(int id) { commands_.Run(id); }
  // What the engine writes to.
  WindowEngineUi& Ui() { return *ui_; }

  // Worker messages, delivered on the UI thread with a blocking queued call.
  void OnWatchdogStepMessage();
  void OnResetProgressMessage();

  // Discards EngineSocket and writes the four display settings; runs once, at the latest
  // from the destructor.
  void Teardown();

  // One timer tick: paint the time, then have the engine's part run once the tick has
  // returned.
  void Tick();
  void PaintTime();

  TimeDisplay& Display() { return display_; }
  QMenu* ContextMenu() const;
  QMenu* TrayMenu() const;
  bool TrayIconShown() const;

 protected:
  bool event(QEvent* e) override;
  void closeEvent(QCloseEvent* e) override;
  void changeEvent(QEvent* e) override;
  void showEvent(QShowEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;

 private:
  EngineWidgets BuildStatusBar();
  void BuildCentralArea(EngineWidgets& widgets);
  void RegisterOwnCommands();

  AppSettings& settings_;
  SettingsStore& store_;
  MessageBoxes& boxes_;
  Clock& clock_;
  TimeDisplay display_;
  CommandRegistry commands_;
  SntpEngine* engine_ = nullptr;
  bool tornDown_ = false;
  bool askingToClose_ = false;
  bool closed_ = false;

  QLabel* statusText_ = nullptr;
  QWidget* central_ = nullptr;
  TimeBand* band_ = nullptr;
  QTimer* timer_ = nullptr;
  std::unique_ptr<WindowMenus> menus_;
  std::unique_ptr<TrayState> tray_;
  std::unique_ptr<WindowEngineUi> ui_;

  std::function<void()> shutdownHook_;
};

}  // namespace quorvane
