#include "platform/qt/fd_watcher.h"

namespace quorvane {

void QtFdWatcher::Watch(int fd, std::function<void()> onReadable) {
  Unwatch(fd);
  auto* notifier = new QSocketNotifier(fd, QSocketNotifier::Read, &owner_);
  // The callback lives in the connection, which lasts as long as the notifier itself.
  QObject::connect(notifier, &QSocketNotifier::activated, notifier,
                   [callback = std::move(onReadable)] { callback(); });
  notifiers_[fd] = notifier;
}

void QtFdWatcher::Unwatch(int fd) {
  const auto it = notifiers_.find(fd);
  if (it == notifiers_.end()) return;
  QSocketNotifier* notifier = it->second;
  notifiers_.erase(it);
  // Disabled at once so a descriptor number reused by the next socket is not reported here.
  notifier->setEnabled(false);
  notifier->deleteLater();
}

void QtFdWatcher::Post(std::function<void()> task) {
  QMetaObject::invokeMethod(
      &owner_, [task = std::move(task)] { task(); }, Qt::QueuedConnection);
}

}  // namespace quorvane
