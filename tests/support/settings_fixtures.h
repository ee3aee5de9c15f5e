#pragma once

#include <string>

#include "base/app_settings.h"
#include "fakes/fake_message_boxes.h"
#include "fakes/fake_settings_store.h"

namespace quorvane::testing {

// Settings as a first start loads them, with the store's reads and writes forgotten.
inline void LoadDefaults(AppSettings& settings, FakeSettingsStore& store, FakeMessageBoxes& boxes) {
  settings.Load(store, boxes, "/opt/quorvane/");
  store.writtenKeys.clear();
  store.values.clear();
  store.readKeys.clear();
  boxes.shown.clear();
}

// Settings for driving the engine in poll mode: one-hour interval and correction limit,
// logging on, the primary server in use.
inline AppSettings PollModeSettings(const std::string& primary, const std::string& secondary) {
  AppSettings settings;
  settings.Primary_Server = primary;
  settings.Secondary_Server = secondary;
  settings.ServerInUse = primary;
  settings.UsingServer = 1;
  settings.IntervalNum = "1";
  settings.IntervalUnit = "Hour(s)";
  settings.SyncInterval = 3600;
  settings.LogToFile = 1;
  settings.Socket_Mode = kPollMode;
  settings.MaxCorrectionSeconds = 3600.0;
  return settings;
}

}  // namespace quorvane::testing
