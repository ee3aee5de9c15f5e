#include "platform/qt/worker_link.h"

#include <QCoreApplication>
#include <QEvent>
#include <QThread>

namespace quorvane {

void QtWorkerLink::SetHandlers(std::function<void()> onWatchdogStep,
                               std::function<void()> onResetProgress) {
  onWatchdogStep_ = std::move(onWatchdogStep);
  onResetProgress_ = std::move(onResetProgress);
}

void QtWorkerLink::Send(const std::function<void()>& handler) {
  auto run = [&handler] {
    if (handler) handler();
  };
  // A blocking invocation from the receiver's own thread would wait for itself.
  if (QThread::currentThread() == receiver_.thread()) {
    run();
    return;
  }
  QMetaObject::invokeMethod(&receiver_, run, Qt::BlockingQueuedConnection);
}

void QtWorkerLink::SendWatchdogStep() { Send(onWatchdogStep_); }

void QtWorkerLink::SendResetProgress() { Send(onResetProgress_); }

void QtWorkerLink::ServePending() {
  QCoreApplication::sendPostedEvents(&receiver_, QEvent::MetaCall);
}

}  // namespace quorvane
