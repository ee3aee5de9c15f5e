#pragma once

#include <atomic>
#include <functional>
#include <vector>

#include "ports/sync_log_writer.h"
#include "sntp/watchdog.h"

namespace quorvane::testing {

// A worker link that only counts: unit tests call the engine's handlers themselves.
class CountingWorkerLink : public WorkerLink {
 public:
  std::atomic<int> steps{0};
  std::atomic<int> resets{0};
  void SendWatchdogStep() override { ++steps; }
  void SendResetProgress() override { ++resets; }
};

struct LoggedEntry {
  double correction;
  char status;
};

class RecordingSyncLog : public SyncLogWriter {
 public:
  std::vector<LoggedEntry> entries;
  std::function<void()> onWrite;  // e.g. the box of a log that cannot be written
  void WriteLogEntry(double correctionSeconds, char status) override {
    entries.push_back({correctionSeconds, status});
    if (onWrite) onWrite();
  }
};

}  // namespace quorvane::testing
