#include "sntp/watchdog.h"

namespace quorvane {

void EventPair::SetFirst() {
  std::lock_guard lock(mutex_);
  first_ = true;
  changed_.notify_all();
}

void EventPair::ResetFirst() {
  std::lock_guard lock(mutex_);
  first_ = false;
}

void EventPair::SetSecond() {
  std::lock_guard lock(mutex_);
  second_ = true;
  changed_.notify_all();
}

void EventPair::ResetSecond() {
  std::lock_guard lock(mutex_);
  second_ = false;
}

bool EventPair::FirstIsSet() const {
  std::lock_guard lock(mutex_);
  return first_;
}

bool EventPair::SecondIsSet() const {
  std::lock_guard lock(mutex_);
  return second_;
}

EventPair::Which EventPair::WaitForEither(std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  changed_.wait_for(lock, timeout, [this] { return first_ || second_; });
  if (first_) return Which::First;
  if (second_) return Which::Second;
  return Which::TimedOut;
}

struct Watchdog::Shared {
  WorkerLink* link = nullptr;
  std::shared_ptr<EventPair> events;
  std::atomic<bool> stopWorker{false};
  std::atomic<bool> done{false};
  std::mutex sleepMutex;
  std::condition_variable stopRequested;
};

Watchdog::Watchdog(WorkerLink& link)
    : events_(std::make_shared<EventPair>()), shared_(std::make_shared<Shared>()) {
  shared_->link = &link;
  shared_->events = events_;
}

Watchdog::~Watchdog() {
  Stop([] {}, std::chrono::milliseconds(11000));
}

void Watchdog::StartWorkerOnce() {
  if (WorkerStarted() || shared_->stopWorker) return;
  worker_ = std::thread(&Watchdog::WatchdogLoop, shared_);
}

void Watchdog::WatchdogLoop(std::shared_ptr<Shared> shared) {
  using std::chrono::milliseconds;
  while (!shared->stopWorker) {
    switch (shared->events->WaitForEither(milliseconds(200))) {
      case EventPair::Which::First: {
        if (shared->stopWorker) break;
        shared->link->SendWatchdogStep();
        // The pause between steps ends early at shutdown.
        std::unique_lock lock(shared->sleepMutex);
        shared->stopRequested.wait_for(lock, milliseconds(200),
                                       [&] { return shared->stopWorker.load(); });
        break;
      }
      case EventPair::Which::Second:
        if (shared->stopWorker) break;
        shared->link->SendResetProgress();
        shared->events->ResetSecond();
        break;
      case EventPair::Which::TimedOut:
        break;
    }
  }
  shared->done = true;
}

bool Watchdog::Stop(const std::function<void()>& pump, std::chrono::milliseconds limit) {
  {
    std::lock_guard lock(shared_->sleepMutex);
    shared_->stopWorker = true;
  }
  shared_->stopRequested.notify_all();
  if (!worker_.joinable()) return !detached_;
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!shared_->done && std::chrono::steady_clock::now() < deadline) {
    pump();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  if (shared_->done) {
    worker_.join();
    return true;
  }
  worker_.detach();
  detached_ = true;
  return false;
}

}  // namespace quorvane
