#pragma once

#include <cstdint>
#include <string>

#include "base/app_settings.h"
#include "ports/clock.h"
#include "ports/message_boxes.h"
#include "ports/sync_log_writer.h"

namespace quorvane {

// The sync log at AppSettings::LogFilePath: one line per clock-setting attempt, kept within
// its size or age limit by rotating it into numbered backups. Every operation opens the
// files it needs and closes them again, and reports its failures in application boxes.
class SyncLog : public SyncLogWriter {
 public:
  SyncLog(AppSettings& settings, Clock& clock, MessageBoxes& boxes);

  // Appends one entry (creating the log when it is absent), then checks the limits.
  void WriteLogEntry(double correctionSeconds, char status) override;
  // Creates or empties the log and writes firstLine when it is not empty, then checks the
  // limits once; an empty line checks nothing, which keeps a rotation from calling itself.
  void CreateLogFile(const std::string& firstLine);
  // Tests the limit that Log_Limit_Type selects and rotates when it has been passed.
  void CheckLogLimits();
  // Shifts the backups up by one, keeping Logs_To_Keep of them, and starts an empty log.
  void RotateLogs();
  // Deletes the log and creates it again empty, keeping no backup.
  void ClearLog();

  // The time of the latest entry, seconds since 1970 (0 before the first one).
  int64_t LogEntryTime() const { return logEntryTime_; }

 private:
  enum class WriteResult { Written, OpenFailed, WriteFailed };

  WriteResult AppendLine(const std::string& line, int& error);
  void ShowWriteError(int error);
  bool TimeLimitPassed();
  void ShowFirstLineInvalidOnce();
  void Show(std::string text);

  AppSettings& settings_;
  Clock& clock_;
  MessageBoxes& boxes_;
  int64_t logEntryTime_ = 0;
  // Set once the user has been told that the first line cannot be dated, so the same news
  // is not repeated at every entry.
  bool firstLineReported_ = false;
};

}  // namespace quorvane
