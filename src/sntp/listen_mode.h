#pragma once

namespace quorvane {

// What the timer tick does in listen mode; poll mode needs none of it.
class ListenModeTick {
 public:
  virtual ~ListenModeTick() = default;
  virtual void OnListenTick() = 0;
};

}  // namespace quorvane
