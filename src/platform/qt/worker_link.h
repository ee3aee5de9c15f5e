#pragma once

#include <QObject>
#include <functional>

#include "sntp/watchdog.h"

namespace quorvane {

// The worker's synchronous sends, carried to the user-interface thread by blocking queued
// invocations on an object of that thread. Make it on the user-interface thread.
class QtWorkerLink : public WorkerLink {
 public:
  QtWorkerLink() = default;
  QtWorkerLink(const QtWorkerLink&) = delete;
  QtWorkerLink& operator=(const QtWorkerLink&) = delete;

  // What the two messages do; user-interface thread only. Empty handlers drop the messages,
  // which is how a window that is gone stops receiving them.
  void SetHandlers(std::function<void()> onWatchdogStep, std::function<void()> onResetProgress);

  void SendWatchdogStep() override;
  void SendResetProgress() override;

  // Handles the sends now waiting for the user-interface thread, and nothing else: the pump
  // for stopping the worker, which must not run timers or user input of a closing window.
  void ServePending();

 private:
  void Send(const std::function<void()>& handler);

  QObject receiver_;
  std::function<void()> onWatchdogStep_;
  std::function<void()> onResetProgress_;
};

}  // namespace quorvane
