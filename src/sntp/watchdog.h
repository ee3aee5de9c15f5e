#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "ports/worker_link.h"

namespace quorvane {

// A manual-reset event pair that one thread can wait on together: the first of the two
// wins when both are signalled.
class EventPair {
 public:
  enum class Which { First, Second, TimedOut };

  void SetFirst();
  void ResetFirst();
  void SetSecond();
  void ResetSecond();
  bool FirstIsSet() const;
  bool SecondIsSet() const;
  Which WaitForEither(std::chrono::milliseconds timeout);

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  bool first_ = false;
  bool second_ = false;
};

// The worker thread that paces the response time-out, with its two events and stop flag.
// The worker touches nothing else; every effect happens on the user-interface thread
// inside the link's synchronous sends.
class Watchdog {
 public:
  explicit Watchdog(WorkerLink& link);
  ~Watchdog();  // stops and joins (or detaches) a worker that is still running
  Watchdog(const Watchdog&) = delete;
  Watchdog& operator=(const Watchdog&) = delete;

  void SetQueryPending() { events_->SetFirst(); }
  void ResetQueryPending() { events_->ResetFirst(); }
  bool QueryPending() const { return events_->FirstIsSet(); }
  void SetTick() { events_->SetSecond(); }
  bool TickSet() const { return events_->SecondIsSet(); }

  // Started by the first attempt, lives until Stop.
  void StartWorkerOnce();
  bool WorkerStarted() const { return worker_.joinable() || detached_; }

  // Sets StopWorker and waits for the worker at most `limit`, calling `pump` meanwhile so
  // that a send the worker is blocked in can complete on the calling (UI) thread. A worker
  // still running at the limit is detached; it can touch only state it shares ownership of.
  // Returns true when the worker ended in time (or never ran).
  bool Stop(const std::function<void()>& pump, std::chrono::milliseconds limit);

 private:
  struct Shared;
  static void WatchdogLoop(std::shared_ptr<Shared> shared);

  std::shared_ptr<EventPair> events_;
  std::shared_ptr<Shared> shared_;
  std::thread worker_;
  bool detached_ = false;
};

}  // namespace quorvane
