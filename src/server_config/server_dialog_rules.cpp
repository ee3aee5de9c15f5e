#include "server_config/server_dialog_rules.h"

#include "base/settings_table.h"

namespace quorvane {

std::string_view ShownUnit(std::string_view storedUnit) {
  if (storedUnit == kUnitMinutes || storedUnit == kUnitSeconds) return storedUnit;
  return kUnitHours;
}

std::string ShownIntervalCount(std::string_view stored, std::string_view unit) {
  const int32_t n = AtoiPrefix(stored);
  if (n < 1) return "1";
  if (n > 600) return "600";
  if (n < 15 && unit == kUnitSeconds) return "15";
  return std::string(stored);
}

std::string ShownCorrectionCount(std::string_view stored) {
  const int32_t m = AtoiPrefix(stored);
  if (m < 1) return "1";
  if (m > 600) return "600";
  return std::string(stored);
}

std::string StoredIntervalCount(std::string_view typed, std::string_view unit) {
  const int32_t n = AtoiPrefix(typed);
  if (n > 600) return "600";
  if (unit == kUnitSeconds && n < 15) return "15";
  if (n < 1) return "1";
  return std::string(typed);
}

std::string StoredCorrectionCount(std::string_view typed) {
  const int32_t m = AtoiPrefix(typed);
  if (m > 600) return "600";
  if (m < 1) return "1";
  return std::string(typed);
}

std::string CutServerText(std::string_view text) {
  size_t characters = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    // A continuation byte belongs to the character before it.
    if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) continue;
    if (characters == kServerTextLimit) return std::string(text.substr(0, i));
    ++characters;
  }
  return std::string(text);
}

std::string TrimmedServerText(std::string_view text) {
  constexpr std::string_view kWhite = " \t\r\n\v\f";
  const size_t first = text.find_first_not_of(kWhite);
  if (first == std::string_view::npos) return {};
  const size_t last = text.find_last_not_of(kWhite);
  return std::string(text.substr(first, last - first + 1));
}

const char* UsingServerText(int32_t usingServer) {
  if (usingServer == 1) return "Primary";
  if (usingServer == 2) return "Secondary";
  return "Error !!!";
}

const std::string& ServerNamedByUsingServer(const AppSettings& settings) {
  return settings.UsingServer == 2 ? settings.Secondary_Server : settings.Primary_Server;
}

void ApplyServerConfiguration(AppSettings& settings, SettingsStore& store, MessageBoxes& boxes,
                              const std::string& primary, const std::string& secondary) {
  settings.RecomputeCorrectionLimit(boxes);
  settings.SyncInterval = settings.SyncIntervalFromCountAndUnit();
  settings.Primary_Server = primary;
  settings.ServerInUse = settings.Primary_Server;
  settings.UsingServer = 1;
  settings.Secondary_Server = secondary;
  settings::Save(store, settings, settings::Notify_User);
  settings::Save(store, settings, settings::Primary_Server);
  settings::Save(store, settings, settings::Secondary_Server);
  settings::Save(store, settings, settings::SyncInterval);
  settings::Save(store, settings, settings::IntervalNum);
  settings::Save(store, settings, settings::IntervalUnit);
  settings::Save(store, settings, settings::MaxCorrectionNum);
  settings::Save(store, settings, settings::MaxCorrectionUnit);
}

}  // namespace quorvane
