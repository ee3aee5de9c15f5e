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

#include "base/app_settings.h"
#include "fakes/fake_clock.h"
#include "fakes/fake_message_boxes.h"
#include "fakes/fake_settings_store.h"
#include "support/settings_fixtures.h"
#include "support/temp_dir.h"
#include "ui/main_window.h"

namespace quorvane::testing {

// A main window on fake ports and Qt's own desktop services. Settings and services can be
// changed before Make().
struct WindowRig {
  TempConfigHome home;
  AppSettings settings;
  FakeSettingsStore store;
  FakeMessageBoxes boxes;
  FakeClock clock;
  DesktopServices desktop = QtDesktopServices();
  std::unique_ptr<CMainWindow> window;

  WindowRig() { LoadDefaults(settings, store, boxes); }
  CMainWindow& Make(std::string executable = "/opt/quorvane/Quorvane") {
    window = std::make_unique<CMainWindow>(settings, store, boxes, clock, desktop,
                                           std::move(executable));
    return *window;
  }
};

// Every action with this command id, over all the window's menus, in the order they were
// made: menu bar, right-click menu, tray menu.
inline QList<QAction*> ActionsWithId(QWidget& window, int id) {
  QList<QAction*> found;
  for (QAction* a : window.findChildren<QAction*>()) {
    if (a->data().toInt() == id) found.append(a);
  }
  return found;
}

inline void ProcessPostedEvents() {
  QCoreApplication::sendPostedEvents();
  QCoreApplication::processEvents();
}

// One timer tick with its engine part, which the window runs from the event queue.
inline void TickNow(CMainWindow& window) {
  window.Tick();
  QCoreApplication::sendPostedEvents();
}

}  // namespace quorvane::testing
