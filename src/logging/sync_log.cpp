#include "logging/sync_log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <optional>

#include "logging/log_entry.h"
#include "logging/log_limits.h"
#include "logging/log_rotation.h"

namespace quorvane {
namespace {

constexpr const char* kLineEnd = "\r\n";
// Enough for the date and time at the start of any line; the rest of a longer first line
// plays no part in the time test.
constexpr size_t kFirstLineBytes = 4096;

std::optional<uint64_t> FileSize(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  return static_cast<uint64_t>(st.st_size);
}

// Best effort: when even the cut fails nothing is left to try, and the error that led here
// is the one reported.
void CutBack(int fd, off_t size) {
  const int ignored = ::ftruncate(fd, size);
  (void)ignored;
}

// Writes line and its line end to a stream opened on a file of restoreSize bytes, and
// closes it. On failure the file is cut back to restoreSize, so no part of the line stays
// behind, and the error number is returned; 0 on success.
int WriteLineAndClose(FILE* file, const std::string& line, off_t restoreSize,
                      const std::string& path) {
  // Unbuffered, so a failed write leaves nothing in the stream for fclose to retry after
  // the file has been cut back.
  std::setvbuf(file, nullptr, _IONBF, 0);
  const std::string data = line + kLineEnd;
  errno = 0;
  int error = 0;
  if (std::fwrite(data.data(), 1, data.size(), file) != data.size()) error = errno ? errno : EIO;
  if (error == 0 && std::fflush(file) != 0) error = errno ? errno : EIO;
  if (error != 0) {
    CutBack(::fileno(file), restoreSize);
    std::fclose(file);
    return error;
  }
  if (std::fclose(file) != 0) {
    error = errno ? errno : EIO;
    // The stream is gone, so the path is all that is left to cut back.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd >= 0) {
      CutBack(fd, restoreSize);
      ::close(fd);
    }
  }
  return error;
}

bool ReadFirstLine(const std::string& path, std::string& line) {
  FILE* file = std::fopen(path.c_str(), "rbe");
  if (file == nullptr) return false;
  char buffer[kFirstLineBytes];
  line.clear();
  if (std::fgets(buffer, sizeof buffer, file) != nullptr) line = buffer;
  const bool ok = std::ferror(file) == 0;
  std::fclose(file);
  // Lines may end in LF or CR LF.
  if (!line.empty() && line.back() == '\n') line.pop_back();
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return ok;
}

int64_t SaturatingDifference(int64_t a, int64_t b) {
  int64_t result = 0;
  if (!__builtin_sub_overflow(a, b, &result)) return result;
  return a > b ? std::numeric_limits<int64_t>::max() : std::numeric_limits<int64_t>::min();
}

}  // namespace

SyncLog::SyncLog(AppSettings& settings, Clock& clock, MessageBoxes& boxes)
    : settings_(settings), clock_(clock), boxes_(boxes) {}

void SyncLog::Show(std::string text) { boxes_.Show(ApplicationBox(std::move(text))); }

void SyncLog::ShowWriteError(int error) {
  Show("The log file cannot be written to: " + settings_.LogFilePath + "\n" + std::strerror(error));
}

void SyncLog::WriteLogEntry(double correctionSeconds, char status) {
  // One reading serves both the line and LogEntryTime, so they cannot disagree.
  const int64_t now = clock_.WallSeconds();
  const std::optional<std::string> line = FormatLogEntry(settings_, now, correctionSeconds, status);
  if (!line) return;  // an unknown mode was reported at start-up; it has no entry form
  logEntryTime_ = now;
  if (!FileSize(settings_.LogFilePath)) {
    CreateLogFile(*line);
    return;
  }
  int error = 0;
  switch (AppendLine(*line, error)) {
    case WriteResult::OpenFailed:
      Show("The log file cannot be opened to write to: " + settings_.LogFilePath);
      return;
    case WriteResult::WriteFailed:
      ShowWriteError(error);
      return;
    case WriteResult::Written:
      CheckLogLimits();
      return;
  }
}

SyncLog::WriteResult SyncLog::AppendLine(const std::string& line, int& error) {
  // No O_CREAT: a log that vanished since the existence test is not made here.
  const int fd = ::open(settings_.LogFilePath.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  if (fd < 0) return WriteResult::OpenFailed;
  const off_t sizeBefore = ::lseek(fd, 0, SEEK_END);
  FILE* file = sizeBefore < 0 ? nullptr : ::fdopen(fd, "ab");
  if (file == nullptr) {
    ::close(fd);
    return WriteResult::OpenFailed;
  }
  error = WriteLineAndClose(file, line, sizeBefore, settings_.LogFilePath);
  return error == 0 ? WriteResult::Written : WriteResult::WriteFailed;
}

void SyncLog::CreateLogFile(const std::string& firstLine) {
  FILE* file = std::fopen(settings_.LogFilePath.c_str(), "wbe");
  if (file == nullptr) {
    Show(
        "The log file was not found and could not be created.\nRestarting the PC may fix the "
        "problem:\n" +
        settings_.LogFilePath);
    return;
  }
  if (firstLine.empty()) {
    std::fclose(file);
    return;
  }
  const int error = WriteLineAndClose(file, firstLine, 0, settings_.LogFilePath);
  if (error != 0) {
    ShowWriteError(error);
    return;
  }
  CheckLogLimits();
}

void SyncLog::CheckLogLimits() {
  const std::optional<uint64_t> size = FileSize(settings_.LogFilePath);
  if (!size) {
    Show("The current log file is missing.");
    return;
  }
  if (settings_.Log_Limit_Type == kLogSizeLimit) {
    if (SizeLimitPassed(*size, settings_.Log_Size_Limit_Number)) RotateLogs();
  } else if (settings_.Log_Limit_Type == kLogTimeLimit) {
    if (TimeLimitPassed()) RotateLogs();
  }
}

bool SyncLog::TimeLimitPassed() {
  std::string line;
  if (!ReadFirstLine(settings_.LogFilePath, line)) {
    Show("The current log file cannot be opened to test its time limit.");
    return false;
  }
  const std::optional<int64_t> firstTime = FirstLineTime(line);
  if (!firstTime) {
    ShowFirstLineInvalidOnce();
    return false;
  }
  firstLineReported_ = false;
  const int64_t elapsed = SaturatingDifference(logEntryTime_, *firstTime);
  return elapsed >
         TimeLimitSpanSeconds(settings_.Log_Time_Limit_Number, settings_.Log_Time_Limit_Unit);
}

void SyncLog::ShowFirstLineInvalidOnce() {
  if (firstLineReported_) return;
  firstLineReported_ = true;
  Show(
      "The first line of the log file holds no valid date and time, so its time limit cannot "
      "be tested:\n" +
      settings_.LogFilePath);
}

void SyncLog::RotateLogs() {
  const std::string& path = settings_.LogFilePath;
  bool logStayed = false;
  for (const RotationStep& step : PlanRotation(settings_.Logs_To_Keep, ExistingLogNumbers(path))) {
    const std::string name = LogFileName(path, step.number);
    if (step.action == RotationStep::Action::Delete) {
      if (!DeleteLogFile(name)) Show("The earliest log file could not be deleted.");
    } else if (!RenameLogFile(name, LogFileName(path, step.number + 1))) {
      Show("A log file could not be renamed.");
      if (step.number == 0) logStayed = true;
    }
  }
  // A log that could not be moved into backup 1 keeps its entries: emptying it here would
  // lose them, so the next entries go on being appended to it. With no backups kept the
  // entries were meant to go, so a log that resisted its delete is still emptied below.
  if (logStayed) return;
  firstLineReported_ = false;
  CreateLogFile("");
}

void SyncLog::ClearLog() {
  const std::string& path = settings_.LogFilePath;
  if (!FileSize(path)) {
    Show("The log file cannot be found.\nIt has been moved or deleted.");
    return;
  }
  if (!DeleteLogFile(path)) {
    Show("The log file cannot be cleared.\nIt may be open in an editor.\nPlease try again.");
    return;
  }
  firstLineReported_ = false;
  FILE* file = std::fopen(path.c_str(), "wbe");
  if (file == nullptr) {
    Show("A new log file cannot be created.");
    return;
  }
  std::fclose(file);
}

}  // namespace quorvane
