#pragma once

#include <functional>

namespace quorvane {

// Delivers readiness of a file descriptor, and deferred tasks, on the user-interface
// thread. The desktop program implements it with the Qt event loop; tests with poll().
// A callback may unwatch (and close) its own descriptor.
class FdWatcher {
 public:
  virtual ~FdWatcher() = default;
  virtual void Watch(int fd, std::function<void()> onReadable) = 0;
  virtual void Unwatch(int fd) = 0;
  // Runs task later on the user-interface thread, after the current handler has returned.
  // May be called from any thread: it is how a worker hands its answer to the window.
  virtual void Post(std::function<void()> task) = 0;
};

}  // namespace quorvane
