#include "ui/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QColorDialog>
#include <QDesktopServices>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QUrl>
#include <ctime>

#include "platform/linux/autostart.h"
#include "ui/app_icon.h"
#include "ui/help_dialogs.h"

namespace quorvane {

namespace {

constexpr int kFrameWidth = 500;
constexpr int kFrameHeight = 190;
constexpr int kButtonHeight = 25;
constexpr int kTickMs = 200;
constexpr uint32_t kColorDialogStart = 0x00005555;

const char* PromptFor(int id) {
  switch (id) {
    case cmd::kMinimizeToTray:
      return "Enables Quorvane to Minimize onto Taskbar Notification Tray";
    case cmd::kAbout:
      return "About Quorvane";
    case cmd::kHomePage:
      return "Launch Browser to Veltrand, Inc. Home Page";
    case cmd::kHelpPage:
      return "Launch Browser to Quorvane Help Page";
    case cmd::kForegroundColor:
      return "Sets the Foreground (Text) Color";
    case cmd::kBackgroundColor:
      return "Sets the Background Color";
    case cmd::kResetColors:
      return "Reset to original color scheme";
    case cmd::kInstructions:
      return "Basic instructions for Quorvane";
    case cmd::kServers:
      return "Configure SNTP Server Synchronization Options";
    case cmd::kRunAtStartup:
      return "Enables Quorvane to run at Windows startup";
    case cmd::kStartMinimized:
      return "Enables Quorvane to start minimized";
    case cmd::kLogging:
      return "Opens the dialog of logging control and statistics viewing.";
    default:
      return "";
  }
}

// The client area: lays the two buttons across the top and the band below them.
class ClientArea : public QWidget {
 public:
  explicit ClientArea(QWidget* parent) : QWidget(parent) {}
  QPushButton* query = nullptr;
  QPushButton* sync = nullptr;
  QWidget* band = nullptr;

 protected:
  void resizeEvent(QResizeEvent* e) override {
    const int w = width();
    query->setGeometry(0, 0, w / 2, kButtonHeight);
    sync->setGeometry(w / 2, 0, w - w / 2, kButtonHeight);
    band->setGeometry(0, kButtonHeight, w, std::max(0, height() - kButtonHeight));
    QWidget::resizeEvent(e);
  }
};

std::optional<QColor> RunColorDialog(const QColor& initial) {
  // Custom colours start black for every call, whatever an earlier call left there.
  for (int i = 0; i < QColorDialog::customCount(); ++i) {
    QColorDialog::setCustomColor(i, QColor(Qt::black));
  }
  // No owner window: the dialog stands on its own, as the colour chooser always has.
  QColorDialog dialog(initial);
  // Qt's own dialog shows the custom colours; a desktop's native one might not.
  dialog.setOption(QColorDialog::DontUseNativeDialog);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.selectedColor();
}

}  // namespace

CMainWindow::CMainWindow(AppSettings& settings, SettingsStore& store, MessageBoxes& boxes,
                         std::string executablePath, QWidget* parent)
    : QMainWindow(parent),
      settings_(settings),
      store_(store),
      boxes_(boxes),
      executablePath_(std::move(executablePath)),
      display_(settings) {
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  setWindowTitle(QString::fromUtf8(kWindowTitle));
  setWindowIcon(AppIcon());

  BuildMainMenu();
  BuildContextMenu();
  BuildTrayMenu();
  SetChecked(cmd::kMinimizeToTray, settings_.MinimizeToTray == 1);
  SetChecked(cmd::kRunAtStartup, settings_.RunAtStartup == 1);
  SetChecked(cmd::kStartMinimized, settings_.StartMinimized == 1);

  BuildStatusBar();
  BuildCentralArea();
  setFixedSize(kFrameWidth, kFrameHeight);
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }

  UpdateModeUi();

  timer_ = new QTimer(this);
  timer_->setInterval(kTickMs);
  connect(timer_, &QTimer::timeout, this, &CMainWindow::Tick);
  timer_->start();

  tray_ = new QSystemTrayIcon(AppIcon(), this);
  tray_->setToolTip(QStringLiteral("Quorvane"));
  tray_->setContextMenu(trayMenu_);
  connect(tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason r) {
    if (r == QSystemTrayIcon::Trigger) RestoreFromTray();
  });

  display_.MakeSharedFont();
}

CMainWindow::~CMainWindow() {
  timer_->stop();
  Teardown();
}

void CMainWindow::SetEngine(SntpEngine* engine) { engine_ = engine; }

QAction* CMainWindow::AddCommand(QMenu* menu, const char* text, int id, bool checkable) {
  // Actions belong to the window, so their prompts reach it from every menu.
  auto* action = new QAction(QString::fromUtf8(text), this);
  action->setData(id);
  action->setObjectName(QStringLiteral("action_%1").arg(id));
  action->setStatusTip(QString::fromUtf8(PromptFor(id)));
  action->setCheckable(checkable);
  const bool onTheBar = menu == nullptr;
  connect(action, &QAction::triggered, this, [this, action, id, onTheBar] {
    // Check marks follow the settings, not Qt's own toggling.
    if (action->isCheckable()) action->setChecked(!action->isChecked());
    // A menu clears its prompt as it closes, before its command runs; a command on the bar
    // itself has no menu to close, so it clears the prompt here.
    if (onTheBar) pane0_->clear();
    ExecuteCommand(id);
  });
  if (menu != nullptr) menu->addAction(action);
  actions_.emplace(id, action);
  return action;
}

void CMainWindow::BuildMainMenu() {
  QMenuBar* bar = menuBar();
  bar->setObjectName(QStringLiteral("menu_101"));
  auto clearPrompt = [this](QMenu* m) {
    connect(m, &QMenu::aboutToHide, this, [this] { pane0_->clear(); });
  };

  QMenu* file = bar->addMenu(QStringLiteral("&File"));
  AddCommand(file, "E&xit", cmd::kExit);
  QMenu* view = bar->addMenu(QStringLiteral("&View"));
  AddCommand(view, "&Foreground Color...", cmd::kForegroundColor);
  AddCommand(view, "&Background Color...", cmd::kBackgroundColor);
  AddCommand(view, "&Reset Colors", cmd::kResetColors);
  QMenu* options = bar->addMenu(QStringLiteral("&Options"));
  AddCommand(options, "&Logging and Statistics...", cmd::kLogging);
  AddCommand(options, "Minimize to &Tray", cmd::kMinimizeToTray, true);
  AddCommand(options, "&Run at Startup", cmd::kRunAtStartup, true);
  AddCommand(options, "Start &Minimized", cmd::kStartMinimized, true);
  QMenu* mode = bar->addMenu(QStringLiteral("&Mode"));
  pollAction_ = AddCommand(mode, "&Poll a Server", cmd::kPollMode, true);
  listenAction_ = AddCommand(mode, "&Listen for a Broadcast", cmd::kListenMode, true);
  mainServers_ = AddCommand(nullptr, "&Servers", cmd::kServers);
  bar->addAction(mainServers_);
  QMenu* help = bar->addMenu(QStringLiteral("&Help"));
  AddCommand(help, "&About", cmd::kAbout);
  AddCommand(help, "&Instructions", cmd::kInstructions);
  help->addSeparator();
  AddCommand(help, "&Veltrand Home Page", cmd::kHomePage);
  AddCommand(help, "Quorvane &Help Page", cmd::kHelpPage);
  for (QMenu* m : {file, view, options, mode, help}) clearPrompt(m);
}

void CMainWindow::BuildContextMenu() {
  contextMenu_ = new QMenu(this);
  contextMenu_->setObjectName(QStringLiteral("menu_105"));
  QMenu* file = contextMenu_->addMenu(QStringLiteral("File"));
  AddCommand(file, "Exit", cmd::kExit);
  QMenu* options = contextMenu_->addMenu(QStringLiteral("&Options"));
  QMenu* colors = options->addMenu(QStringLiteral("&Colors"));
  AddCommand(colors, "&Reset Colors", cmd::kResetColors);
  AddCommand(colors, "&Foreground...", cmd::kForegroundColor);
  AddCommand(colors, "&Background...", cmd::kBackgroundColor);
  AddCommand(options, "&Servers", cmd::kServers);
  AddCommand(options, "Minimize to &Tray", cmd::kMinimizeToTray, true);
  AddCommand(options, "&Run at Startup", cmd::kRunAtStartup, true);
  AddCommand(options, "Start &Minimized", cmd::kStartMinimized, true);
  QMenu* help = contextMenu_->addMenu(QStringLiteral("Help"));
  AddCommand(help, "&About", cmd::kAbout);
  AddCommand(help, "&Instructions", cmd::kInstructions);
  help->addSeparator();
  AddCommand(help, "&Veltrand Home Page", cmd::kHomePage);
  AddCommand(help, "Quorvane &Help Page", cmd::kHelpPage);
  connect(contextMenu_, &QMenu::aboutToHide, this, [this] { pane0_->clear(); });
}

void CMainWindow::BuildTrayMenu() {
  trayMenu_ = new QMenu(this);
  trayMenu_->setObjectName(QStringLiteral("menu_123"));
  AddCommand(trayMenu_, "Restore", cmd::kRestore);
  AddCommand(trayMenu_, "Correct System Clock", cmd::kCorrectClock);
  AddCommand(trayMenu_, "Exit", cmd::kExit);
  connect(trayMenu_, &QMenu::aboutToHide, this, [this] { pane0_->clear(); });
}

void CMainWindow::BuildStatusBar() {
  QStatusBar* bar = statusBar();
  bar->setSizeGripEnabled(false);
  pane0_ = new QLabel(bar);
  pane0_->setObjectName(QStringLiteral("pane0"));
  // Long status texts are cut, never widen the fixed window.
  pane0_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  bar->addWidget(pane0_, 1);
  progress_ = new QProgressBar(bar);
  progress_->setObjectName(QStringLiteral("pane1_progress"));
  progress_->setRange(0, kProgressMax);
  progress_->setValue(0);
  progress_->setTextVisible(false);
  progress_->setFixedWidth(bar->fontMetrics().horizontalAdvance(QStringLiteral("XXXXXXXXXXXX")));
  bar->addPermanentWidget(progress_);
}

void CMainWindow::BuildCentralArea() {
  auto* area = new ClientArea(this);
  area->setObjectName(QStringLiteral("client_area"));
  central_ = area;
  queryButton_ = new QPushButton(QStringLiteral("Query SNTP Server"), area);
  queryButton_->setObjectName(QStringLiteral("button_1029"));
  syncButton_ = new QPushButton(QStringLiteral("Sync System Clock"), area);
  syncButton_->setObjectName(QStringLiteral("button_1030"));
  band_ = new TimeBand(area);
  band_->setObjectName(QStringLiteral("time_band"));
  band_->SetBackground(ColorFromColorRef(display_.BackGroundColor()));
  area->query = queryButton_;
  area->sync = syncButton_;
  area->band = band_;
  connect(queryButton_, &QPushButton::clicked, this, [this] { ExecuteCommand(cmd::kQueryButton); });
  connect(syncButton_, &QPushButton::clicked, this, [this] { ExecuteCommand(cmd::kSyncButton); });
  setCentralWidget(area);
}

void CMainWindow::SetChecked(int id, bool checked) {
  auto [first, last] = actions_.equal_range(id);
  for (auto it = first; it != last; ++it) it->second->setChecked(checked);
}

void CMainWindow::ExecuteCommand(int id) {
  switch (id) {
    case cmd::kExit:
      PostClose();
      break;
    case cmd::kForegroundColor:
      ChooseColor(true);
      break;
    case cmd::kBackgroundColor:
      ChooseColor(false);
      break;
    case cmd::kResetColors:
      // Shown from the next tick; saved when the window goes.
      display_.SetForeGroundColor(kDefaultForeGroundColor);
      display_.SetBackGroundColor(kDefaultBackGroundColor);
      break;
    case cmd::kLogging:
      if (loggingHook_) loggingHook_();
      break;
    case cmd::kMinimizeToTray:
      ToggleMinimizeToTray();
      break;
    case cmd::kRunAtStartup:
      ToggleRunAtStartup();
      break;
    case cmd::kStartMinimized:
      ToggleStartMinimized();
      break;
    case cmd::kPollMode:
      if (modeHook_) modeHook_(kPollMode);
      break;
    case cmd::kListenMode:
      if (modeHook_) modeHook_(kListenMode);
      break;
    case cmd::kServers:
      if (serversHook_) serversHook_();
      break;
    case cmd::kAbout: {
      CHelpAboutDialog dialog([this] { ExecuteCommand(cmd::kHomePage); }, this);
      dialog.exec();
      break;
    }
    case cmd::kInstructions: {
      CHelpWhatToDoDialog dialog(this);
      dialog.exec();
      break;
    }
    case cmd::kHomePage:
      QDesktopServices::openUrl(QUrl(QString::fromUtf8(kHomePageUrl)));
      break;
    case cmd::kHelpPage:
      QDesktopServices::openUrl(QUrl(QString::fromUtf8(kHelpPageUrl)));
      break;
    case cmd::kRestore:
      RestoreFromTray();
      break;
    case cmd::kCorrectClock:
    case cmd::kSyncButton:
      if (engine_ != nullptr) engine_->StartSync();
      break;
    case cmd::kQueryButton:
      if (engine_ != nullptr) engine_->StartQuery();
      break;
    default:
      break;
  }
}

void CMainWindow::ChooseColor(bool foreground) {
  const QColor initial = ColorFromColorRef(kColorDialogStart);
  const std::optional<QColor> chosen =
      colorChooser_ ? colorChooser_(initial) : RunColorDialog(initial);
  if (!chosen || !chosen->isValid()) return;
  const uint32_t colorRef = ColorRefFromColor(*chosen);
  if (foreground) {
    display_.SetForeGroundColor(colorRef);
  } else {
    display_.SetBackGroundColor(colorRef);
  }
}

void CMainWindow::ToggleMinimizeToTray() {
  settings_.MinimizeToTray = settings_.MinimizeToTray == 0 ? 1 : 0;
  SetChecked(cmd::kMinimizeToTray, settings_.MinimizeToTray == 1);
  if (settings_.MinimizeToTray == 0) HideTrayIcon();
}

void CMainWindow::ToggleStartMinimized() {
  settings_.StartMinimized = settings_.StartMinimized == 0 ? 1 : 0;
  SetChecked(cmd::kStartMinimized, settings_.StartMinimized == 1);
  store_.WriteInt("StartMinimized", settings_.StartMinimized);
}

void CMainWindow::ToggleRunAtStartup() {
  settings_.RunAtStartup = settings_.RunAtStartup == 0 ? 1 : 0;
  // A folder that cannot be written leaves the setting toggled all the same.
  if (settings_.RunAtStartup == 1) {
    WriteAutostartEntry(AutostartDirectory(), executablePath_);
  } else {
    RemoveAutostartEntry(AutostartDirectory());
  }
  SetChecked(cmd::kRunAtStartup, settings_.RunAtStartup == 1);
  store_.WriteInt("RunAtStartup", settings_.RunAtStartup);
}

bool CMainWindow::TrayAvailable() const {
  return trayAvailable_ ? trayAvailable_() : QSystemTrayIcon::isSystemTrayAvailable();
}

void CMainWindow::ShowTrayIcon() {
  tray_->show();
  trayIconShown_ = true;
}

void CMainWindow::HideTrayIcon() {
  tray_->hide();
  trayIconShown_ = false;
}

void CMainWindow::RestoreFromTray() {
  showNormal();
  activateWindow();
}

void CMainWindow::MinimizeToTrayStep() {
  if (!isVisible() || !isMinimized() || settings_.MinimizeToTray != 1) return;
  // Without a notification area a hidden window could never be brought back.
  if (!TrayAvailable()) return;
  ShowTrayIcon();
  // Hiding from inside the state change confuses some window managers; do it next.
  QMetaObject::invokeMethod(
      this,
      [this] {
        if (isMinimized()) hide();
      },
      Qt::QueuedConnection);
}

void CMainWindow::changeEvent(QEvent* e) {
  QMainWindow::changeEvent(e);
  if (e->type() == QEvent::WindowStateChange) MinimizeToTrayStep();
}

void CMainWindow::showEvent(QShowEvent* e) {
  QMainWindow::showEvent(e);
  // A window shown minimised at start-up changed its state before it became visible.
  MinimizeToTrayStep();
}

bool CMainWindow::event(QEvent* e) {
  if (e->type() == QEvent::StatusTip) {
    pane0_->setText(static_cast<QStatusTipEvent*>(e)->tip());
    return true;
  }
  return QMainWindow::event(e);
}

void CMainWindow::mousePressEvent(QMouseEvent* e) {
  if (e->button() == Qt::RightButton) {
    // Only the frame's own client area has the menu, not the buttons or the status bar.
    QWidget* under = childAt(e->position().toPoint());
    if (under == band_ || under == central_) {
      ShowContextMenuAt(e->globalPosition().toPoint());
      e->accept();
      return;
    }
  }
  QMainWindow::mousePressEvent(e);
}

void CMainWindow::ShowContextMenuAt(const QPoint& globalPos) {
  const int half = contextMenu_->sizeHint().width() / 2;
  contextMenu_->popup(QPoint(globalPos.x() - half, globalPos.y()));
}

void CMainWindow::closeEvent(QCloseEvent* e) {
  if (closed_) {
    e->accept();
    return;
  }
  // A second close request while the question is open must not shut down twice.
  if (askingToClose_) {
    e->ignore();
    return;
  }
  askingToClose_ = true;
  const BoxAnswer answer = boxes_.Show(ApplicationBox(kCloseQuestion, BoxButtons::OkCancel));
  askingToClose_ = false;
  if (answer != BoxAnswer::Ok) {
    e->ignore();
    return;
  }
  closed_ = true;
  // No tick may drive the engine once its worker has been stopped.
  timer_->stop();
  if (shutdownHook_) shutdownHook_();
  HideTrayIcon();
  e->accept();
}

void CMainWindow::Teardown() {
  if (tornDown_) return;
  tornDown_ = true;
  if (engine_ != nullptr) engine_->DiscardSocket();
  store_.WriteInt("StartMinimized", settings_.StartMinimized);
  store_.WriteInt("MinimizeToTray", settings_.MinimizeToTray);
  store_.WriteInt("ForeGroundColor", static_cast<int32_t>(display_.ForeGroundColor()));
  store_.WriteInt("BackGroundColor", static_cast<int32_t>(display_.BackGroundColor()));
}

void CMainWindow::Tick() {
  PaintTime();
  if (engine_ != nullptr) engine_->OnTimerTick();
}

void CMainWindow::PaintTime() {
  // A minimised or hidden window shows no band; the tick's engine work still runs.
  if (isMinimized() || !band_->isVisible()) return;
  const int64_t now = timeSource_ ? timeSource_() : static_cast<int64_t>(std::time(nullptr));
  band_->Draw(QString::fromStdString(TimeBandText(now)),
              ColorFromColorRef(display_.ForeGroundColor()),
              ColorFromColorRef(display_.BackGroundColor()));
}

void CMainWindow::OnWatchdogStepMessage() {
  if (engine_ != nullptr) engine_->OnWatchdogStep();
}

void CMainWindow::OnResetProgressMessage() { ResetProgress(); }

void CMainWindow::ShowStatus(const std::string& text) {
  pane0_->setText(QString::fromStdString(text));
  pane0_->repaint();
}

void CMainWindow::PutStatus(const std::string& text) {
  pane0_->setText(QString::fromStdString(text));
}

void CMainWindow::EnableQueryButton(bool enabled) { queryButton_->setEnabled(enabled); }

void CMainWindow::EnableSyncButton(bool enabled) { syncButton_->setEnabled(enabled); }

int CMainWindow::StepProgress() {
  const int previous = progress_->value();
  progress_->setValue(NextProgressPosition(previous));
  return previous;
}

void CMainWindow::ResetProgress() { progress_->setValue(0); }

void CMainWindow::UpdateModeUi() {
  const int32_t mode = settings_.Socket_Mode;
  if (mode == kPollMode || mode == kListenMode) {
    const bool poll = mode == kPollMode;
    pollAction_->setChecked(poll);
    listenAction_->setChecked(!poll);
    mainServers_->setEnabled(poll);
    queryButton_->setEnabled(poll);
    syncButton_->setEnabled(poll);
  }
  menuBar()->update();
}

void CMainWindow::PostCorrectionTooBig() {
  QMetaObject::invokeMethod(
      this, [this] { boxes_.Show(ApplicationBox(kCorrectionTooBigText)); }, Qt::QueuedConnection);
}

void CMainWindow::PostClose() {
  QMetaObject::invokeMethod(
      this, [this] { close(); }, Qt::QueuedConnection);
}

void CMainWindow::SendTestSucceeded() {
  if (testSucceededHook_) testSucceededHook_();
}

void CMainWindow::SendTestFailed() {
  if (testFailedHook_) testFailedHook_();
}

}  // namespace quorvane
