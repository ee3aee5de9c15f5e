#pragma once

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "app/app_settings.h"
#include "fakes/fake_message_boxes.h"
#include "fakes/fake_settings_store.h"
#include "ui/main_window.h"

namespace quorvane::testing {

// A fresh folder per test, used as XDG_CONFIG_HOME so nothing reaches the real profile.
class TempConfigHome {
 public:
  TempConfigHome() {
    char pattern[] = "/tmp/quorvane-ui-XXXXXX";
    const char* made = mkdtemp(pattern);
    path_ = made != nullptr ? made : "";
    setenv("XDG_CONFIG_HOME", path_.c_str(), 1);
  }
  ~TempConfigHome() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
    unsetenv("XDG_CONFIG_HOME");
  }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// Settings as a first start loads them, with the store's reads and writes forgotten.
inline void LoadDefaults(AppSettings& settings, FakeSettingsStore& store, FakeMessageBoxes& boxes) {
  settings.Load(store, boxes, "/opt/quorvane/");
  store.writtenKeys.clear();
  store.values.clear();
  store.readKeys.clear();
  boxes.shown.clear();
}

// A main window on fake ports. Settings can be changed before Make().
struct WindowRig {
  TempConfigHome home;
  AppSettings settings;
  FakeSettingsStore store;
  FakeMessageBoxes boxes;
  std::unique_ptr<CMainWindow> window;

  WindowRig() { LoadDefaults(settings, store, boxes); }
  CMainWindow& Make(std::string executable = "/opt/quorvane/Quorvane") {
    window = std::make_unique<CMainWindow>(settings, store, boxes, std::move(executable));
    return *window;
  }
};

// Every action with this command id, over all the window's menus.
inline QList<QAction*> ActionsWithId(QWidget& window, int id) {
  return window.findChildren<QAction*>(QStringLiteral("action_%1").arg(id));
}

inline void ProcessPostedEvents() {
  QCoreApplication::sendPostedEvents();
  QCoreApplication::processEvents();
}

}  // namespace quorvane::testing
