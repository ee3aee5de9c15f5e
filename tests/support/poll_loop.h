#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>

#include "ports/fd_watcher.h"

namespace quorvane::testing {

// A single-threaded event loop on poll(2) for tests of the real ports: descriptor
// readiness and posted tasks are delivered on the thread that runs the loop.
//
// A callback may unwatch (and close) its own descriptor, watch new ones, or destroy the
// object that owns it. Tasks posted during a dispatch run after it. Post may be called
// from any thread; it wakes a loop that is waiting in poll.
class PollLoop : public FdWatcher {
 public:
  PollLoop();
  ~PollLoop() override;
  PollLoop(const PollLoop&) = delete;
  PollLoop& operator=(const PollLoop&) = delete;

  void Watch(int fd, std::function<void()> onReadable) override;
  void Unwatch(int fd) override;
  void Post(std::function<void()> task) override;

  // Dispatches until done() holds or limit has passed; true when done() held.
  bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds limit);
  // Dispatches for the whole period.
  void RunFor(std::chrono::milliseconds period);
  // One pass that does not wait: ready descriptors, then the tasks posted so far.
  void RunPending();

  bool IsWatched(int fd) const { return watches_.count(fd) != 0; }
  size_t WatchCount() const { return watches_.size(); }

 private:
  struct Registration {
    uint64_t serial;
    std::shared_ptr<std::function<void()>> callback;
  };
  // One poll with the given time-out (-1 waits for ever), then dispatch and tasks.
  void Pass(int timeoutMs);
  void RunPostedTasks();
  bool HasPostedTasks();

  std::map<int, Registration> watches_;
  uint64_t nextSerial_ = 1;
  int wakeFd_ = -1;  // eventfd that Post signals
  std::mutex postedMutex_;
  std::deque<std::function<void()>> posted_;
};

}  // namespace quorvane::testing
