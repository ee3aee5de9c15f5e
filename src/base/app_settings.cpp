#include "base/app_settings.h"

#include <cctype>
#include <limits>

#include "base/settings_table.h"

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
  settings::ForEachKey([&](const auto& key) { this->*key.field = settings::Read(store, key); });

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
