#include "app/app_settings.h"

#include <cctype>
#include <limits>

namespace quorvane {
namespace {

// Products the store's rules define in 32-bit arithmetic wrap the way the stored files
// expect; computing them in 64 bits and wrapping keeps that without signed overflow.
uint32_t Wrap32(int64_t value) { return static_cast<uint32_t>(static_cast<uint64_t>(value)); }

int32_t UnitMilliseconds(std::string_view unit) {
  const int32_t seconds = UnitSeconds(unit);
  return seconds * 1000;
}

}  // namespace

int32_t AtoiPrefix(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  int64_t value = 0;
  constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
  for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > kLimit) value = kLimit;
  }
  if (negative) value = -value;
  if (value > std::numeric_limits<int32_t>::max()) value = std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(value);
}

int32_t UnitSeconds(std::string_view unit) {
  if (unit == kUnitHours) return 3600;
  if (unit == kUnitMinutes) return 60;
  if (unit == kUnitSeconds) return 1;
  return 0;
}

void AppSettings::Load(SettingsStore& store, MessageBoxes& boxes,
                       std::string_view programDirectory) {
  Primary_Server = store.ReadString("Primary_Server", kDefaultPrimaryServer);
  Secondary_Server = store.ReadString("Secondary_Server", kDefaultSecondaryServer);
  Notify_User = store.ReadInt("Notify_User", 0);
  MinimizeToTray = store.ReadInt("MinimizeToTray", 1);
  ForeGroundColor = static_cast<uint32_t>(
      store.ReadInt("ForeGroundColor", static_cast<int32_t>(kDefaultForeGroundColor)));
  BackGroundColor = static_cast<uint32_t>(
      store.ReadInt("BackGroundColor", static_cast<int32_t>(kDefaultBackGroundColor)));
  IntervalNum = store.ReadString("IntervalNum", "1");
  IntervalUnit = store.ReadString("IntervalUnit", kUnitHours);
  MaxCorrectionNum = store.ReadString("MaxCorrectionNum", "1");
  MaxCorrectionUnit = store.ReadString("MaxCorrectionUnit", kUnitHours);
  SyncInterval = store.ReadInt("SyncInterval", 3600);
  RunAtStartup = store.ReadInt("RunAtStartup", 0);
  StartMinimized = store.ReadInt("StartMinimized", 0);
  LogToFile = store.ReadInt("LogToFile", 1);
  Log_Limit_Type = store.ReadInt("Log_Limit_Type", 0);
  Log_Size_Limit_Number = store.ReadInt("Log_Size_Limit_Number", 0);
  Log_Time_Limit_Number = store.ReadInt("Log_Time_Limit_Number", 0);
  Log_Time_Limit_Unit = store.ReadString("Log_Time_Limit_Unit", "Hours");
  Logs_To_Keep = store.ReadInt("Logs_To_Keep", 0);
  Socket_Mode = store.ReadInt("Socket_Mode", kPollMode);
  Broadcast_Timeout = store.ReadInt("Broadcast_Timeout", 1);
  Broadcast_Timeout_Unit = store.ReadString("Broadcast_Timeout_Unit", kUnitHours);
  Broadcast_Max_Correction = store.ReadInt("Broadcast_Max_Correction", 1);
  Broadcast_Max_Correction_Unit = store.ReadString("Broadcast_Max_Correction_Unit", kUnitHours);
  Use_NTS = store.ReadInt("Use_NTS", 0);
  NTS_Trust_File = store.ReadString("NTS_Trust_File", "");

  ServerInUse = Primary_Server;
  UsingServer = 1;
  // Minutes are assumed until the unit is known to match.
  BroadcastTimeoutMs = Wrap32(int64_t{Broadcast_Timeout} * 60000);
  RecomputeCorrectionLimit(boxes);
  RecomputeBroadcastTimeout();
  ProgramDirectory = std::string(programDirectory);
  LogFilePath = ProgramDirectory + std::string(kLogFileName);
}

void AppSettings::RecomputeCorrectionLimit(MessageBoxes& boxes) {
  if (Socket_Mode == kPollMode) {
    const int32_t factor = UnitSeconds(MaxCorrectionUnit);
    if (factor == 0) return;
    const auto product =
        static_cast<int32_t>(Wrap32(int64_t{AtoiPrefix(MaxCorrectionNum)} * factor));
    MaxCorrectionSeconds = static_cast<double>(product);
  } else if (Socket_Mode == kListenMode) {
    const int32_t factor = UnitSeconds(Broadcast_Max_Correction_Unit);
    if (factor == 0) return;
    MaxCorrectionSeconds = static_cast<double>(Wrap32(int64_t{Broadcast_Max_Correction} * factor));
  } else {
    boxes.Show(ApplicationBox("Message from Quorvane: Unknown Socket Mode!"));
  }
}

void AppSettings::RecomputeBroadcastTimeout() {
  const int32_t factor = UnitMilliseconds(Broadcast_Timeout_Unit);
  if (factor == 0) return;
  BroadcastTimeoutMs = Wrap32(int64_t{Broadcast_Timeout} * factor);
}

int32_t AppSettings::SyncIntervalFromCountAndUnit() const {
  const int32_t factor = UnitSeconds(IntervalUnit);
  if (factor == 0) return SyncInterval;
  return static_cast<int32_t>(Wrap32(int64_t{AtoiPrefix(IntervalNum)} * factor));
}

}  // namespace quorvane
