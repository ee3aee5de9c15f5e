#pragma once

#include <QApplication>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>

#include "fakes/fake_settings_store.h"
#include "gui/server_config/server_dialog_rig.h"
#include "gui/ui_test_support.h"
#include "logging/qt/correction_history_window.h"
#include "logging/qt/logging_dialog.h"
#include "logging/sync_log.h"
#include "server_config/qt/broadcast_timeout_dialog.h"
#include "support/log_test_files.h"

// Every window of the program on fake ports, for the tests that walk all of them.
namespace quorvane::testing {

struct BroadcastRig : EngineRig {
  FakeSettingsStore store;
  std::unique_ptr<CBroadcastTimeoutDlg> dialog;
  BroadcastRig() { LoadDefaults(settings, store, boxes); }
  CBroadcastTimeoutDlg& Make() {
    dialog = std::make_unique<CBroadcastTimeoutDlg>(
        BroadcastTimeoutContext{settings, store, boxes, engine.MutableState().BroadcastTickCount});
    return *dialog;
  }
};

struct LoggingRig {
  TempDir dir;
  AppSettings settings;
  FakeSettingsStore store;
  FakeMessageBoxes boxes;
  FakeClock clock;
  TimeDisplay display{settings};
  std::unique_ptr<SyncLog> log;
  std::unique_ptr<CLoggingDialog> dialog;

  LoggingRig() {
    LoadDefaults(settings, store, boxes);
    settings.LogFilePath = dir.path() + "/Quorvane.txt";
    settings.LogToFile = 1;
    settings.Log_Limit_Type = 2;
    WriteFileBytes(settings.LogFilePath,
                   "2009/07/04,14:00:00,+0.500000,ntp1.example.net,1,H,S\r\n");
    display.MakeSharedFont();
    log = std::make_unique<SyncLog>(settings, clock, boxes);
  }
  CLoggingDialog& Make() {
    dialog = std::make_unique<CLoggingDialog>(
        LoggingDialogContext{settings, store, boxes, *log, display});
    return *dialog;
  }
};

struct HistoryRig {
  TempDir dir;
  FakeMessageBoxes boxes;
  std::unique_ptr<CCorrectionHistoryWindow> window;
  CCorrectionHistoryWindow& Make() {
    const std::string path = dir.path() + "/Quorvane.txt";
    std::string log;
    for (int hour = 10; hour < 20; ++hour) {
      log += "2009/07/04," + std::to_string(hour) + ":00:00,+0.500000,ntp1.example.net,1,H,S\r\n";
    }
    WriteFileBytes(path, log);
    window = std::make_unique<CCorrectionHistoryWindow>(path, boxes);
    return *window;
  }
};

// Shows a window, makes it the active one and lets it settle, so that focus and keys work.
inline void ShowActive(QWidget& window) {
  window.show();
  QApplication::setActiveWindow(&window);
  window.activateWindow();
  for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
}

}  // namespace quorvane::testing
