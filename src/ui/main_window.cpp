#include "ui/main_window.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTimer>
#include <algorithm>

#include "base/settings_table.h"
#include "ui/app_icon.h"
#include "ui/color_commands.h"
#include "ui/help_commands.h"
#include "ui/status_pane.h"
#include "ui/tray_state.h"
#include "ui/window_menus.h"

namespace quorvane {

namespace {

constexpr int kFrameWidth = 500;
constexpr int kFrameHeight = 190;
constexpr int kButtonHeight = 25;
constexpr int kTickMs = 200;

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

}  // namespace

CMainWindow::CMainWindow(AppSettings& settings, SettingsStore& store, MessageBoxes& boxes,
                         Clock& clock, DesktopServices desktop, std::string executablePath,
                         QWidget* parent)
    : QMainWindow(parent),
      settings_(settings),
      store_(store),
      boxes_(boxes),
      clock_(clock),
      display_(settings) {
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  setWindowTitle(QString::fromUtf8(kWindowTitle));
  setWindowIcon(AppIcon());

  EngineWidgets widgets = BuildStatusBar();
  menus_ = std::make_unique<WindowMenus>(*this, widgets.statusText,
                                         [this](int id) { ExecuteCommand(id); });
  tray_ = std::make_unique<TrayState>(*this, *menus_, settings_, store_, desktop.trayAvailable,
                                      std::move(executablePath));
  BuildCentralArea(widgets);
  ui_ = std::make_unique<WindowEngineUi>(*this, widgets, *menus_, settings_, boxes_);
  setFixedSize(kFrameWidth, kFrameHeight);
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }

  RegisterOwnCommands();
  tray_->RegisterCommands(commands_);
  RegisterColorCommands(commands_, display_, desktop);
  RegisterHelpCommands(commands_, this);
  ui_->UpdateModeUi();

  timer_ = new QTimer(this);
  timer_->setInterval(kTickMs);
  connect(timer_, &QTimer::timeout, this, &CMainWindow::Tick);
  timer_->start();

  display_.MakeSharedFont();
}

CMainWindow::~CMainWindow() {
  timer_->stop();
  Teardown();
}

void CMainWindow::SetEngine(SntpEngine* engine) { engine_ = engine; }

QMenu* CMainWindow::ContextMenu() const { return menus_->ContextMenu(); }
QMenu* CMainWindow::TrayMenu() const { return menus_->TrayMenu(); }
bool CMainWindow::TrayIconShown() const { return tray_->IconShown(); }

EngineWidgets CMainWindow::BuildStatusBar() {
  QStatusBar* bar = statusBar();
  bar->setSizeGripEnabled(false);
  bar->setFont(StatusBarFont());
  auto* status = new StatusPane(bar);
  status->setObjectName(QStringLiteral("statusText"));
  // A long status text is elided, never widens the fixed window.
  status->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  bar->addWidget(status, 1);
  auto* progress = new QProgressBar(bar);
  progress->setObjectName(QStringLiteral("progressBar"));
  progress->setRange(0, kProgressMax);
  progress->setValue(0);
  progress->setTextVisible(false);
  progress->setAccessibleName(QStringLiteral("Progress"));
  progress->setFixedWidth(bar->fontMetrics().horizontalAdvance(QStringLiteral("XXXXXXXXXXXX")));
  bar->addPermanentWidget(progress);
  statusText_ = status;
  return EngineWidgets{status, nullptr, nullptr, progress};
}

void CMainWindow::BuildCentralArea(EngineWidgets& widgets) {
  auto* area = new ClientArea(this);
  area->setObjectName(QStringLiteral("clientArea"));
  central_ = area;
  auto* query = new QPushButton(QStringLiteral("Query SNTP Server"), area);
  query->setObjectName(QStringLiteral("queryButton"));
  auto* sync = new QPushButton(QStringLiteral("Sync System Clock"), area);
  sync->setObjectName(QStringLiteral("syncButton"));
  band_ = new TimeBand(display_, clock_, area);
  band_->setObjectName(QStringLiteral("timeBand"));
  area->query = query;
  area->sync = sync;
  area->band = band_;
  connect(query, &QPushButton::clicked, this, [this] { ExecuteCommand(cmd::kQueryButton); });
  connect(sync, &QPushButton::clicked, this, [this] { ExecuteCommand(cmd::kSyncButton); });
  setCentralWidget(area);
  widgets.queryButton = query;
  widgets.syncButton = sync;
}

void CMainWindow::RegisterOwnCommands() {
  commands_.Register(cmd::kExit, [this] { ui_->PostClose(); });
  const auto sync = [this] {
    if (engine_ != nullptr) engine_->StartSync();
  };
  commands_.Register(cmd::kCorrectClock, sync);
  commands_.Register(cmd::kSyncButton, sync);
  commands_.Register(cmd::kQueryButton, [this] {
    if (engine_ != nullptr) engine_->StartQuery();
  });
}

void CMainWindow::changeEvent(QEvent* e) {
  QMainWindow::changeEvent(e);
  if (e->type() == QEvent::WindowStateChange) tray_->MinimizeToTrayStep();
}

void CMainWindow::showEvent(QShowEvent* e) {
  QMainWindow::showEvent(e);
  // A window shown minimised at start-up changed its state before it became visible.
  tray_->MinimizeToTrayStep();
}

bool CMainWindow::event(QEvent* e) {
  if (e->type() == QEvent::StatusTip) {
    statusText_->setText(static_cast<QStatusTipEvent*>(e)->tip());
    return true;
  }
  return QMainWindow::event(e);
}

void CMainWindow::mousePressEvent(QMouseEvent* e) {
  if (e->button() == Qt::RightButton) {
    // Only the frame's own client area has the menu, not the buttons or the status bar.
    QWidget* under = childAt(e->position().toPoint());
    if (under == band_ || under == central_) {
      menus_->PopupContextMenu(e->globalPosition().toPoint());
      e->accept();
      return;
    }
  }
  QMainWindow::mousePressEvent(e);
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
  tray_->HideIcon();
  e->accept();
}

void CMainWindow::Teardown() {
  if (tornDown_) return;
  tornDown_ = true;
  if (engine_ != nullptr) engine_->DiscardSocket();
  settings::Save(store_, settings_, settings::StartMinimized);
  settings::Save(store_, settings_, settings::MinimizeToTray);
  settings::Write(store_, settings::ForeGroundColor, display_.ForeGroundColor());
  settings::Write(store_, settings::BackGroundColor, display_.BackGroundColor());
}

void CMainWindow::Tick() {
  PaintTime();
  // The engine's part runs from the event queue, outside the timer's own call: Qt does not
  // fire a timer again while its handler runs, so a box opened from inside it would stop the
  // time display until the box is answered.
  QMetaObject::invokeMethod(
      this,
      [this] {
        if (engine_ != nullptr) engine_->OnTimerTick();
      },
      Qt::QueuedConnection);
}

void CMainWindow::PaintTime() {
  // A minimised or hidden window shows no band; the tick's engine work still runs.
  if (isMinimized() || !band_->isVisible()) return;
  band_->ShowTime();
}

void CMainWindow::OnWatchdogStepMessage() {
  if (engine_ != nullptr) engine_->OnWatchdogStep();
}

void CMainWindow::OnResetProgressMessage() { ui_->ResetProgress(); }

}  // namespace quorvane
