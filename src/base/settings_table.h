#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>

#include "base/app_settings.h"
#include "ports/settings_store.h"

// Every stored setting, in the order start-up reads them, one line a key: its name, which is
// also the name of the AppSettings field it fills, how the store holds it (int32_t or
// std::string) and its default. Adding a setting is a line here and its field.
#define QUORVANE_SETTINGS_TABLE(KEY)                          \
  KEY(Primary_Server, std::string, kDefaultPrimaryServer)     \
  KEY(Secondary_Server, std::string, kDefaultSecondaryServer) \
  KEY(Notify_User, int32_t, 0)                                \
  KEY(MinimizeToTray, int32_t, 1)                             \
  KEY(ForeGroundColor, int32_t, kDefaultForeGroundColor)      \
  KEY(BackGroundColor, int32_t, kDefaultBackGroundColor)      \
  KEY(IntervalNum, std::string, "1")                          \
  KEY(IntervalUnit, std::string, kUnitHours)                  \
  KEY(MaxCorrectionNum, std::string, "1")                     \
  KEY(MaxCorrectionUnit, std::string, kUnitHours)             \
  KEY(SyncInterval, int32_t, 3600)                            \
  KEY(RunAtStartup, int32_t, 0)                               \
  KEY(StartMinimized, int32_t, 0)                             \
  KEY(LogToFile, int32_t, 1)                                  \
  KEY(Log_Limit_Type, int32_t, 0)                             \
  KEY(Log_Size_Limit_Number, int32_t, 0)                      \
  KEY(Log_Time_Limit_Number, int32_t, 0)                      \
  KEY(Log_Time_Limit_Unit, std::string, "Hours")              \
  KEY(Logs_To_Keep, int32_t, 0)                               \
  KEY(Socket_Mode, int32_t, kPollMode)                        \
  KEY(Broadcast_Timeout, int32_t, 1)                          \
  KEY(Broadcast_Timeout_Unit, std::string, kUnitHours)        \
  KEY(Broadcast_Max_Correction, int32_t, 1)                   \
  KEY(Broadcast_Max_Correction_Unit, std::string, kUnitHours) \
  KEY(Use_NTS, int32_t, 0)                                    \
  KEY(NTS_Trust_File, std::string, "")

// The keys are reached by name (settings::SyncInterval), so a misspelt key does not compile;
// the store itself takes no key names from anywhere else.
namespace quorvane::settings {

// What a field's value is passed as: texts as views, integers as themselves.
template <typename Field>
using ValueOf = std::conditional_t<std::is_same_v<Field, std::string>, std::string_view, Field>;

// One stored setting. Stored is how the store holds it; Field is the type of the AppSettings
// field it fills (a colour is an unsigned field stored as a signed integer).
template <typename Stored, typename Field>
struct Key {
  static_assert(std::is_same_v<Stored, std::string> == std::is_same_v<Field, std::string>);
  static_assert(std::is_same_v<Stored, std::string> || std::is_same_v<Stored, int32_t>);
  static_assert(std::is_same_v<Stored, std::string> || sizeof(Field) == sizeof(int32_t));

  std::string_view name;
  Field AppSettings::*field;
  ValueOf<Field> fallback;
};

// The one way into the store's operations, which are closed to everything else.
class Access {
 public:
  template <typename Stored, typename Field>
  static Field Read(SettingsStore& store, const Key<Stored, Field>& key) {
    if constexpr (std::is_same_v<Stored, std::string>) {
      return store.ReadString(key.name, key.fallback);
    } else {
      return static_cast<Field>(store.ReadInt(key.name, static_cast<int32_t>(key.fallback)));
    }
  }

  template <typename Stored, typename Field>
  static void Write(SettingsStore& store, const Key<Stored, Field>& key, ValueOf<Field> value) {
    if constexpr (std::is_same_v<Stored, std::string>) {
      store.WriteString(key.name, value);
    } else {
      store.WriteInt(key.name, static_cast<int32_t>(value));
    }
  }
};

#define QUORVANE_DECLARE_SETTING(name, stored, fallback)                                    \
  inline constexpr Key<stored, decltype(AppSettings::name)> name{#name, &AppSettings::name, \
                                                                 fallback};
QUORVANE_SETTINGS_TABLE(QUORVANE_DECLARE_SETTING)
#undef QUORVANE_DECLARE_SETTING

// Calls visit(key) for every key, in the table's order.
template <typename Visit>
void ForEachKey(Visit&& visit) {
#define QUORVANE_VISIT_SETTING(name, stored, fallback) visit(name);
  QUORVANE_SETTINGS_TABLE(QUORVANE_VISIT_SETTING)
#undef QUORVANE_VISIT_SETTING
}

// The stored value, or the key's default when it is absent or unreadable.
template <typename Stored, typename Field>
Field Read(SettingsStore& store, const Key<Stored, Field>& key) {
  return Access::Read(store, key);
}

// Stores a value under the key, as the key's type.
template <typename Stored, typename Field>
void Write(SettingsStore& store, const Key<Stored, Field>& key, ValueOf<Field> value) {
  Access::Write(store, key, value);
}

// Stores the current value of the field that the key fills.
template <typename Stored, typename Field>
void Save(SettingsStore& store, const AppSettings& settings, const Key<Stored, Field>& key) {
  Access::Write(store, key, settings.*key.field);
}

}  // namespace quorvane::settings
