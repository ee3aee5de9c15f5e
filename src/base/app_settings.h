#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "ports/message_boxes.h"
#include "ports/settings_store.h"

namespace quorvane {

// Unit texts, compared exactly and case-sensitively.
inline constexpr std::string_view kUnitHours = "Hour(s)";
inline constexpr std::string_view kUnitMinutes = "Minute(s)";
inline constexpr std::string_view kUnitSeconds = "Second(s)";

inline constexpr uint32_t kDefaultForeGroundColor = 0x0000C0F9;  // COLORREF 0x00BBGGRR
inline constexpr uint32_t kDefaultBackGroundColor = 0x00FF8000;

inline constexpr int32_t kPollMode = 1;
inline constexpr int32_t kListenMode = 2;

inline constexpr std::string_view kLogFileName = "Quorvane.txt";

// The one in-memory record of every setting, filled once at start-up and read and changed
// directly on the user-interface thread. Field names are the store's key names.
struct AppSettings {
  std::string Primary_Server;
  std::string Secondary_Server;
  int32_t Notify_User = 0;
  int32_t MinimizeToTray = 0;
  uint32_t ForeGroundColor = 0;
  uint32_t BackGroundColor = 0;
  std::string IntervalNum;
  std::string IntervalUnit;
  std::string MaxCorrectionNum;
  std::string MaxCorrectionUnit;
  int32_t SyncInterval = 0;
  int32_t RunAtStartup = 0;
  int32_t StartMinimized = 0;
  int32_t LogToFile = 0;
  int32_t Log_Limit_Type = 0;
  int32_t Log_Size_Limit_Number = 0;
  int32_t Log_Time_Limit_Number = 0;
  std::string Log_Time_Limit_Unit;
  int32_t Logs_To_Keep = 0;
  int32_t Socket_Mode = 0;
  int32_t Broadcast_Timeout = 0;
  std::string Broadcast_Timeout_Unit;
  int32_t Broadcast_Max_Correction = 0;
  std::string Broadcast_Max_Correction_Unit;
  int32_t Use_NTS = 0;         // 1: every poll is authenticated with Network Time Security
  std::string NTS_Trust_File;  // PEM authorities trusted beside the system's

  // Derived values, kept current by the parts that change their sources.
  std::string ServerInUse;
  int32_t UsingServer = 0;
  double MaxCorrectionSeconds = 0.0;
  uint32_t BroadcastTimeoutMs = 0;
  std::string ProgramDirectory;
  std::string LogFilePath;
  bool CommandLineSync = false;

  // Reads every key of the settings table (base/settings_table.h) in its order with its default,
  // then works out the derived values.
  // The program directory comes from the caller (the executable's directory with its
  // trailing separator, or empty).
  void Load(SettingsStore& store, MessageBoxes& boxes, std::string_view programDirectory);

  // Sets MaxCorrectionSeconds from Socket_Mode; an unknown mode is reported and changes nothing.
  void RecomputeCorrectionLimit(MessageBoxes& boxes);
  // Sets BroadcastTimeoutMs from Broadcast_Timeout and its unit; an unknown unit changes nothing.
  void RecomputeBroadcastTimeout();
  // The poll interval in seconds from IntervalNum and IntervalUnit, for the server dialog to store.
  int32_t SyncIntervalFromCountAndUnit() const;
};

inline constexpr const char* kDefaultPrimaryServer = "pool.ntp.org";
inline constexpr const char* kDefaultSecondaryServer = "time.nist.gov";

// The decimal-prefix rule of atoi: blanks skipped, optional sign, digits up to the first
// other character, 0 without digits. Saturates instead of overflowing.
int32_t AtoiPrefix(std::string_view text);

// Factor of a unit text ("Hour(s)" 3600, "Minute(s)" 60, "Second(s)" 1), or 0 when it
// matches none.
int32_t UnitSeconds(std::string_view unit);

}  // namespace quorvane
