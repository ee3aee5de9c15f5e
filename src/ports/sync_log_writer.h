#pragma once

namespace quorvane {

// Where the engine's clock-setting attempts go when logging is on.
class SyncLogWriter {
 public:
  virtual ~SyncLogWriter() = default;
  // status: 'S' the clock was set, 'F' setting it failed.
  virtual void WriteLogEntry(double correctionSeconds, char status) = 0;
};

}  // namespace quorvane
