#include "ui/window_engine_ui.h"

#include <QAction>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>

#include "ui/command_ids.h"

namespace quorvane {

WindowEngineUi::WindowEngineUi(QMainWindow& window, const EngineWidgets& widgets,
                               const WindowMenus& menus, const AppSettings& settings,
                               MessageBoxes& boxes)
    : window_(window), widgets_(widgets), menus_(menus), settings_(settings), boxes_(boxes) {}

void WindowEngineUi::ShowStatus(const std::string& text) {
  widgets_.statusText->setText(QString::fromStdString(text));
  widgets_.statusText->repaint();
}

void WindowEngineUi::PutStatus(const std::string& text) {
  widgets_.statusText->setText(QString::fromStdString(text));
}

void WindowEngineUi::EnableQueryButton(bool enabled) { widgets_.queryButton->setEnabled(enabled); }

void WindowEngineUi::EnableSyncButton(bool enabled) { widgets_.syncButton->setEnabled(enabled); }

int WindowEngineUi::StepProgress() {
  const int previous = widgets_.progressBar->value();
  widgets_.progressBar->setValue(NextProgressPosition(previous));
  return previous;
}

void WindowEngineUi::ResetProgress() { widgets_.progressBar->setValue(0); }

void WindowEngineUi::UpdateModeUi() {
  const int32_t mode = settings_.Socket_Mode;
  if (mode == kPollMode || mode == kListenMode) {
    const bool poll = mode == kPollMode;
    menus_.Find(MenuKind::kMenuBar, cmd::kPollMode)->setChecked(poll);
    menus_.Find(MenuKind::kMenuBar, cmd::kListenMode)->setChecked(!poll);
    // Only the bar's Servers: the right-click menu's stays available in either mode.
    menus_.Find(MenuKind::kMenuBar, cmd::kServers)->setEnabled(poll);
    // Broadcasts keep the clock in listen mode, and the engine starts no poll sync there.
    if (QAction* correct = menus_.Find(MenuKind::kTrayMenu, cmd::kCorrectClock)) {
      correct->setEnabled(poll);
    }
    widgets_.queryButton->setEnabled(poll);
    widgets_.syncButton->setEnabled(poll);
  }
  window_.menuBar()->update();
}

void WindowEngineUi::PostCorrectionTooBig() {
  MessageBoxes* boxes = &boxes_;
  QMetaObject::invokeMethod(
      &window_, [boxes] { boxes->Show(ApplicationBox(kCorrectionTooBigText)); },
      Qt::QueuedConnection);
}

void WindowEngineUi::PostClose() {
  QMainWindow* window = &window_;
  QMetaObject::invokeMethod(
      window, [window] { window->close(); }, Qt::QueuedConnection);
}

void WindowEngineUi::SendTestSucceeded() {
  if (listener_ != nullptr) listener_->TestSucceeded();
}

void WindowEngineUi::SendTestFailed() {
  if (listener_ != nullptr) listener_->TestFailed();
}

}  // namespace quorvane
