#pragma once

#include <QWidget>

#include "base/app_settings.h"
#include "ports/message_boxes.h"
#include "ports/settings_store.h"
#include "server_config/list_file_ops.h"
#include "sntp/sntp_engine.h"
#include "ui/window_engine_ui.h"

namespace quorvane {

class CMainWindow;

struct ServersCommandPorts {
  AppSettings& settings;
  SettingsStore& store;
  MessageBoxes& boxes;
  SntpEngine& engine;
  WindowEngineUi& ui;  // the status pane, and where test results are sent
  ListFileOps& files;
  QWidget* owner;
};

// The Servers command: runs the Server Configuration dialog, during which (set-up included)
// the timer starts no poll; the dialog's OK applies and writes everything, and the command
// reports it. Cancel takes nothing and points the engine back at the server it was using, not
// at an address a test left behind.
void RunServersCommand(const ServersCommandPorts& ports);

// Makes the window's Servers command run the dialog on real files.
void RegisterServersCommand(CMainWindow& window, AppSettings& settings, SettingsStore& store,
                            MessageBoxes& boxes, SntpEngine& engine);

}  // namespace quorvane
