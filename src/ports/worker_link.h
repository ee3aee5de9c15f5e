#pragma once

namespace quorvane {

// The worker's synchronous sends to the user-interface thread: each returns once the
// message has been handled there. Called from the worker thread only; the handlers run on
// the user-interface thread, so a UI thread that waits for the worker must keep serving
// them.
class WorkerLink {
 public:
  virtual ~WorkerLink() = default;
  virtual void SendWatchdogStep() = 0;
  virtual void SendResetProgress() = 0;
};

}  // namespace quorvane
