#pragma once

#include "base/app_settings.h"
#include "ports/engine_ui.h"
#include "ports/message_boxes.h"
#include "ui/window_menus.h"

class QLabel;
class QMainWindow;
class QProgressBar;
class QPushButton;

namespace quorvane {

inline constexpr const char* kCorrectionTooBigText =
    "Message from Quorvane: the needed correction exceeds Maximum Correction Limit";

// Hears how a server test ends. The server dialog sets itself as the listener while it is
// open.
class ServerTestListener {
 public:
  virtual ~ServerTestListener() = default;
  virtual void TestSucceeded() = 0;
  virtual void TestFailed() = 0;
};

// The main window's widgets the engine writes to.
struct EngineWidgets {
  QLabel* statusText;
  QPushButton* queryButton;
  QPushButton* syncButton;
  QProgressBar* progressBar;
};

// The engine's view of the main window: status text, buttons, progress bar, mode marks,
// and the boxes and close it posts.
class WindowEngineUi : public EngineUi {
 public:
  WindowEngineUi(QMainWindow& window, const EngineWidgets& widgets, const WindowMenus& menus,
                 const AppSettings& settings, MessageBoxes& boxes);

  // Null when no server dialog is open: the results then go nowhere.
  void SetServerTestListener(ServerTestListener* listener) { listener_ = listener; }

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

 private:
  QMainWindow& window_;
  EngineWidgets widgets_;
  const WindowMenus& menus_;
  const AppSettings& settings_;
  MessageBoxes& boxes_;
  ServerTestListener* listener_ = nullptr;
};

}  // namespace quorvane
