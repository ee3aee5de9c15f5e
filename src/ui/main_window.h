#pragma once

#include <QMainWindow>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>

#include "app/app_settings.h"
#include "ports/engine_ui.h"
#include "ports/message_boxes.h"
#include "ports/settings_store.h"
#include "sntp/sntp_engine.h"
#include "ui/time_display.h"

class QAction;
class QLabel;
class QMenu;
class QProgressBar;
class QPushButton;
class QSystemTrayIcon;
class QTimer;

namespace quorvane {

// Command ids of the menus and buttons.
namespace cmd {
inline constexpr int kExit = 57665;
inline constexpr int kForegroundColor = 40027;
inline constexpr int kBackgroundColor = 40028;
inline constexpr int kResetColors = 40033;
inline constexpr int kLogging = 40044;
inline constexpr int kMinimizeToTray = 40019;
inline constexpr int kRunAtStartup = 40038;
inline constexpr int kStartMinimized = 40040;
inline constexpr int kPollMode = 40045;
inline constexpr int kListenMode = 40046;
inline constexpr int kServers = 40035;
inline constexpr int kAbout = 40021;
inline constexpr int kInstructions = 40034;
inline constexpr int kHomePage = 40025;
inline constexpr int kHelpPage = 40026;
inline constexpr int kRestore = 40039;
inline constexpr int kCorrectClock = 40020;
inline constexpr int kQueryButton = 1029;
inline constexpr int kSyncButton = 1030;
}  // namespace cmd

inline constexpr const char* kWindowTitle = "Quorvane v2.0";
inline constexpr const char* kHomePageUrl = "https://www.veltrand.example/";
inline constexpr const char* kHelpPageUrl = "https://www.veltrand.example/quorvane/help.html";
inline constexpr const char* kCloseQuestion =
    "This will stop the program -- the PC's clock will no longer be sychronized.\n\n"
    "If you want synchronization to continue in the background\n"
    "then minimize the window instead of closing it.\n\nStop Quorvane?";
inline constexpr const char* kCorrectionTooBigText =
    "Message from Quorvane: the needed correction exceeds Maximum Correction Limit";

// The program's only top-level window: two command buttons, the time band, the status
// bar with its progress bar, the three menus, the tray icon and the 200 ms timer.
class CMainWindow : public QMainWindow, public EngineUi {
  Q_OBJECT

 public:
  CMainWindow(AppSettings& settings, SettingsStore& store, MessageBoxes& boxes,
              std::string executablePath, QWidget* parent = nullptr);
  ~CMainWindow() override;

  // Until an engine is set a tick only paints the time.
  void SetEngine(SntpEngine* engine);
  // Called on a confirmed close: stops the worker while pumping events, so a worker blocked
  // in a synchronous send can finish.
  void SetShutdownHook(std::function<void()> hook) { shutdownHook_ = std::move(hook); }
  // Mode commands: called with the Socket_Mode asked for (1 poll, 2 listen).
  void SetModeHook(std::function<void(int32_t)> hook) { modeHook_ = std::move(hook); }
  void SetServersHook(std::function<void()> hook) { serversHook_ = std::move(hook); }
  void SetLoggingHook(std::function<void()> hook) { loggingHook_ = std::move(hook); }
  void SetTestResultHooks(std::function<void()> succeeded, std::function<void()> failed) {
    testSucceededHook_ = std::move(succeeded);
    testFailedHook_ = std::move(failed);
  }
  // Chooses a colour starting from `initial`; nullopt on Cancel. The default runs a
  // QColorDialog.
  using ColorChooser = std::function<std::optional<QColor>(const QColor& initial)>;
  void SetColorChooser(ColorChooser chooser) { colorChooser_ = std::move(chooser); }
  // Whole Unix seconds for the time band; the default reads the system clock.
  void SetTimeSource(std::function<int64_t()> source) { timeSource_ = std::move(source); }
  // Whether a notification area exists; the default asks QSystemTrayIcon.
  void SetTrayAvailable(std::function<bool()> available) { trayAvailable_ = std::move(available); }

  // Worker messages, delivered on the UI thread with a blocking queued call.
  void OnWatchdogStepMessage();
  void OnResetProgressMessage();

  // Discards EngineSocket and writes the four display settings; runs once, at the latest
  // from the destructor.
  void Teardown();

  // Carries out a menu or button command by its id.
  void ExecuteCommand(int id);
  // One timer tick: paint the time, then drive the engine.
  void Tick();
  void PaintTime();

  TimeDisplay& Display() { return display_; }
  QMenu* ContextMenu() const { return contextMenu_; }
  QMenu* TrayMenu() const { return trayMenu_; }
  bool TrayIconShown() const { return trayIconShown_; }

  // EngineUi
  void ShowStatus(const std::string& text) override;
  void PutStatus(const std::string& text) override;
  void EnableQueryButton(bool enabled) override;
  void EnableSyncButton(bool enabled) override;
  int StepProgress() override;
  void ResetProgress() override;
  void UpdateModeUi() override;
  void PostCorrectionTooBig() override;
  void PostClose() override;
  void SendTestSucceeded() override;
  void SendTestFailed() override;

 protected:
  bool event(QEvent* e) override;
  void closeEvent(QCloseEvent* e) override;
  void changeEvent(QEvent* e) override;
  void showEvent(QShowEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;

 private:
  QAction* AddCommand(QMenu* menu, const char* text, int id, bool checkable = false);
  void BuildMainMenu();
  void BuildContextMenu();
  void BuildTrayMenu();
  void BuildCentralArea();
  void BuildStatusBar();
  void SetChecked(int id, bool checked);
  void ChooseColor(bool foreground);
  void ToggleMinimizeToTray();
  void ToggleStartMinimized();
  void ToggleRunAtStartup();
  void ShowTrayIcon();
  void HideTrayIcon();
  void RestoreFromTray();
  void MinimizeToTrayStep();
  bool TrayAvailable() const;
  void ShowContextMenuAt(const QPoint& globalPos);

  AppSettings& settings_;
  SettingsStore& store_;
  MessageBoxes& boxes_;
  std::string executablePath_;
  TimeDisplay display_;
  SntpEngine* engine_ = nullptr;
  bool tornDown_ = false;
  bool askingToClose_ = false;
  bool closed_ = false;

  QMenu* contextMenu_ = nullptr;  // the popup of menu 105 that is shown
  QMenu* trayMenu_ = nullptr;
  QAction* mainServers_ = nullptr;
  QAction* pollAction_ = nullptr;
  QAction* listenAction_ = nullptr;
  // Every action that carries a command id, over all three menus.
  std::multimap<int, QAction*> actions_;

  QPushButton* queryButton_ = nullptr;
  QPushButton* syncButton_ = nullptr;
  QWidget* central_ = nullptr;
  TimeBand* band_ = nullptr;
  QLabel* pane0_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QTimer* timer_ = nullptr;
  QSystemTrayIcon* tray_ = nullptr;
  bool trayIconShown_ = false;

  std::function<void()> shutdownHook_;
  std::function<void(int32_t)> modeHook_;
  std::function<void()> serversHook_;
  std::function<void()> loggingHook_;
  std::function<void()> testSucceededHook_;
  std::function<void()> testFailedHook_;
  ColorChooser colorChooser_;
  std::function<int64_t()> timeSource_;
  std::function<bool()> trayAvailable_;
};

}  // namespace quorvane
