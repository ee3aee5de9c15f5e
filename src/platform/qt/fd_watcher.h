#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <map>

#include "ports/fd_watcher.h"

namespace quorvane {

// Readiness and deferred tasks through the Qt event loop of the thread that made it (the
// user-interface thread). Notifiers are retired with deleteLater, so a callback may unwatch
// and close its own descriptor while its notifier is still delivering.
class QtFdWatcher : public FdWatcher {
 public:
  QtFdWatcher() = default;
  ~QtFdWatcher() override = default;
  QtFdWatcher(const QtFdWatcher&) = delete;
  QtFdWatcher& operator=(const QtFdWatcher&) = delete;

  void Watch(int fd, std::function<void()> onReadable) override;
  void Unwatch(int fd) override;
  void Post(std::function<void()> task) override;

  size_t WatchedCount() const { return notifiers_.size(); }

 private:
  // Parent of the live notifiers and context of posted tasks: both die with the watcher.
  QObject owner_;
  std::map<int, QSocketNotifier*> notifiers_;
};

}  // namespace quorvane
