#include "app/qt/quorvane_app.h"

#include <QApplication>
#include <chrono>
#include <clocale>

#include "logging/qt/correction_history_window.h"
#include "logging/qt/logging_dialog.h"
#include "logging/sync_log.h"
#include "nts/qt/nts_wiring.h"
#include "platform/linux/posix_udp_socket.h"
#include "platform/linux/program_path.h"
#include "platform/qt/fd_watcher.h"
#include "platform/qt/message_boxes.h"
#include "platform/qt/settings_store.h"
#include "platform/qt/worker_link.h"
#include "server_config/qt/broadcast_timeout_dialog.h"
#include "server_config/qt/servers_command.h"
#include "sntp/sntp_engine.h"
#include "sntp/watchdog.h"
#include "ui/main_window.h"

namespace quorvane {
namespace {

constexpr std::chrono::milliseconds kWorkerStopLimit{11000};

}  // namespace

std::string ApplicationNameOf(const std::string& executablePath) {
  const size_t slash = executablePath.rfind('/');
  std::string name = slash == std::string::npos ? executablePath : executablePath.substr(slash + 1);
  return name.empty() ? std::string("Quorvane") : name;
}

void UseCFormatsForTimesAndNumbers() {
  std::setlocale(LC_TIME, "C");
  std::setlocale(LC_NUMERIC, "C");
}

CQuorvaneapp::CQuorvaneapp(int argc, char** /*argv*/, QuorvaneSetup setup)
    // Any argument at all asks for the one-shot sync; its content is not looked at.
    : commandLineSync_(argc > 1),
      setup_(std::move(setup)),
      executablePath_(setup_.executablePath.empty() ? ExecutablePath() : setup_.executablePath),
      applicationName_(ApplicationNameOf(executablePath_)) {}

CQuorvaneapp::~CQuorvaneapp() {
  StopWorker();
  DestroyMainWindow();
  engine_.reset();
}

bool CQuorvaneapp::InitInstance() {
  instance_ = std::make_unique<SingleInstance>(setup_.instanceName);
  if (instance_->AnotherInstanceRuns()) {
    instance_.reset();
    return false;
  }
  UseCFormatsForTimesAndNumbers();
  // The worker's two events live in the watchdog; the worker starts with the first query.
  link_ = std::make_unique<QtWorkerLink>();
  watchdog_ = std::make_unique<Watchdog>(*link_);

  const QString appName = QString::fromStdString(applicationName_);
  if (setup_.store == nullptr) ownStore_ = std::make_unique<QtSettingsStore>(appName);
  store_ = setup_.store != nullptr ? setup_.store : ownStore_.get();
  qtBoxes_ = std::make_unique<QtMessageBoxes>(appName);
  boxes_ = setup_.boxes != nullptr ? setup_.boxes : qtBoxes_.get();
  settings_.Load(*store_, *boxes_,
                 setup_.programDirectory.value_or(ProgramDirectoryOf(executablePath_)));
  // BroadcastTickCount, FailoverSinceReply and SyncRequested start cleared with the engine.
  settings_.CommandLineSync = commandLineSync_;

  window_ = new CMainWindow(settings_, *store_, *boxes_, *setup_.clock, QtDesktopServices(),
                            executablePath_);
  qtBoxes_->SetMainWindow(window_);
  fdWatcher_ = std::make_unique<QtFdWatcher>();
  sockets_ =
      std::make_unique<PosixSocketFactory>(*fdWatcher_, ResolveWithGetaddrinfo, setup_.helper);
  // The engine's and the log's boxes come one at a time.
  ownBoxes_ = std::make_unique<BoxGate>(*boxes_);
  log_ = std::make_unique<SyncLog>(settings_, *setup_.clock, *ownBoxes_);
  RegisterLoggingCommand(
      window_->Commands(), window_, {settings_, *store_, *boxes_, *log_, window_->Display()},
      [window = window_.data()](const std::string& text) { window->Ui().ShowStatus(text); });
  RegisterCorrectionHistoryCommand(window_->Commands(), window_, settings_, *boxes_);
  nts_ = std::make_unique<NtsWiring>(*fdWatcher_, *sockets_, settings_, window_->Ui(),
                                     *setup_.clock, engine_);
  engine_ = std::make_unique<SntpEngine>(EnginePorts{
      settings_, window_->Ui(), *ownBoxes_, nts_->Sockets(), *setup_.clock, *log_, *watchdog_});
  RegisterUseNtsCommand(*window_, window_->Commands(), settings_, *store_);
  window_->SetEngine(engine_.get());
  RegisterServersCommand(*window_, settings_, *store_, *boxes_, *engine_);
  window_->Commands().Register(cmd::kPollMode,
                               [this] { engine_->Listen().PollModeCommand(*store_); });
  window_->Commands().Register(
      cmd::kListenMode,
      WithListenNtsNotice(ListenModeHandler(window_, *engine_, settings_, *store_, *boxes_),
                          settings_, *boxes_));
  window_->SetShutdownHook([this] { Shutdown(); });

  CMainWindow* window = window_;
  link_->SetHandlers([window] { window->OnWatchdogStepMessage(); },
                     [window] { window->OnResetProgressMessage(); });
  QObject::connect(window, &QObject::destroyed, [this] {
    link_->SetHandlers({}, {});
    if (!destroyingWindow_) QCoreApplication::exit(0);
  });
  // A window hidden in the tray is not closed: closing a box then must not end the program.
  QApplication::setQuitOnLastWindowClosed(false);
  ShowMainWindow();
  return true;
}

CMainWindow* CQuorvaneapp::MainWindow() const { return window_.data(); }

void CQuorvaneapp::ShowMainWindow() {
  // The start-up state comes from the settings alone, whatever the desktop asked for.
  if (settings_.StartMinimized == 1) {
    window_->showMinimized();
  } else {
    window_->showNormal();
  }
}

int CQuorvaneapp::Run() {
  if (!InitInstance()) return 0;
  const int status = QCoreApplication::exec();
  DestroyMainWindow();
  return status;
}

void CQuorvaneapp::Shutdown() {
  StopWorker();
  // exit, not quit: quit would offer the closing window another close.
  QCoreApplication::exit(0);
}

void CQuorvaneapp::StopWorker() {
  if (!watchdog_) return;
  // Serving the worker's pending send is what lets it reach its stop flag.
  watchdog_->Stop([this] { link_->ServePending(); }, kWorkerStopLimit);
  link_->SetHandlers({}, {});
}

void CQuorvaneapp::DestroyMainWindow() {
  destroyingWindow_ = true;
  delete window_.data();
}

}  // namespace quorvane
