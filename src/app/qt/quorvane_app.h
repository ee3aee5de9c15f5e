#pragma once

#include <QPointer>
#include <memory>
#include <optional>
#include <string>

#include "base/app_settings.h"
#include "platform/linux/single_instance.h"
#include "ports/clock.h"
#include "ports/message_boxes.h"
#include "ports/privileged_helper.h"
#include "ports/settings_store.h"

namespace quorvane {

class NtsWiring;

class CMainWindow;
class SntpEngine;
class QtFdWatcher;
class QtMessageBoxes;
class QtWorkerLink;
class SocketFactory;
class SyncLog;
class Watchdog;

// What the program is started with. Everything left empty is the real thing; tests and
// measurements put in a virtual clock, their own store, boxes and a scratch directory.
struct QuorvaneSetup {
  Clock* clock = nullptr;  // required: the program never picks a clock by itself
  SettingsStore* store = nullptr;
  MessageBoxes* boxes = nullptr;
  // Binds port 123 when the program may not; none: Listen mode needs the right itself.
  PrivilegedHelper* helper = nullptr;
  // Full path of the executable (the autostart entry and the application name); empty: the
  // running executable.
  std::string executablePath;
  // Where the server list and the log live (with its trailing '/'); unset: the directory of
  // executablePath.
  std::optional<std::string> programDirectory;
  std::string instanceName{kSingleInstanceName};
};

// The application: start-up in its fixed order, the objects that live for the whole run,
// and the end of the run once the main window's close has been confirmed. Needs a
// QApplication, made before it on the same thread.
class CQuorvaneapp {
 public:
  CQuorvaneapp(int argc, char** argv, QuorvaneSetup setup);
  ~CQuorvaneapp();
  CQuorvaneapp(const CQuorvaneapp&) = delete;
  CQuorvaneapp& operator=(const CQuorvaneapp&) = delete;

  // Brings the program up and shows the main window; false when another instance runs,
  // in which case nothing has been made and the process should end at once.
  bool InitInstance();
  // InitInstance, then the event loop until the close is confirmed; the exit status.
  int Run();

  AppSettings& Settings() { return settings_; }
  SettingsStore& Store() { return *store_; }
  // The main window while it exists.
  CMainWindow* MainWindow() const;
  SntpEngine* Engine() const { return engine_.get(); }
  Watchdog* GetWatchdog() const { return watchdog_.get(); }
  const std::string& ApplicationName() const { return applicationName_; }

 private:
  void ShowMainWindow();
  // The confirmed close: stops the worker, then leaves the event loop.
  void Shutdown();
  void StopWorker();
  void DestroyMainWindow();

  bool commandLineSync_;
  QuorvaneSetup setup_;
  std::string executablePath_;
  std::string applicationName_;

  std::unique_ptr<SingleInstance> instance_;
  std::unique_ptr<SettingsStore> ownStore_;
  std::unique_ptr<QtMessageBoxes> qtBoxes_;
  SettingsStore* store_ = nullptr;
  MessageBoxes* boxes_ = nullptr;
  std::unique_ptr<BoxGate> ownBoxes_;
  AppSettings settings_;
  std::unique_ptr<QtWorkerLink> link_;
  std::unique_ptr<Watchdog> watchdog_;
  std::unique_ptr<QtFdWatcher> fdWatcher_;
  std::unique_ptr<SocketFactory> sockets_;
  std::unique_ptr<NtsWiring> nts_;  // polls through it: authenticated while Use_NTS is on
  std::unique_ptr<SyncLog> log_;
  QPointer<CMainWindow> window_;
  bool destroyingWindow_ = false;
  std::unique_ptr<SntpEngine> engine_;
};

// The executable's file name, which names the application (box captions, settings file);
// "Quorvane" when the path has none.
std::string ApplicationNameOf(const std::string& executablePath);

// Making the QApplication switches the C library to the user's locale, where "%X" may be
// "02:05:09 PM", "%B" "Juni" and a decimal point a comma. The program's times and numbers
// are those of the "C" locale, so time and number formatting go back to it; character
// handling stays as Qt set it. Call after the QApplication exists, before any other thread.
void UseCFormatsForTimesAndNumbers();

}  // namespace quorvane
