#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <functional>

namespace quorvane::testing {

// Runs the event loop until done() holds or the limit passes; whether it came true.
inline bool RunEventsUntil(const std::function<bool()>& done, int limitMs = 10000) {
  QDeadlineTimer deadline(limitMs);
  while (!done()) {
    if (deadline.hasExpired()) return false;
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
  }
  return true;
}

}  // namespace quorvane::testing
