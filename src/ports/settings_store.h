#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quorvane {

namespace settings {
class Access;
}

// The profile section that holds every setting.
inline constexpr std::string_view kSettingsSection = "Options";

// The persistent settings store, always addressed within kSettingsSection.
// Reads of an absent or unreadable key return the default; write failures are ignored
// by every caller, so writes return nothing.
class SettingsStore {
 public:
  virtual ~SettingsStore() = default;

 private:
  // Only the settings table (base/settings_table.h) names keys, so that each is declared once
  // and a misspelt one does not compile.
  friend class settings::Access;
  virtual int32_t ReadInt(std::string_view key, int32_t defaultValue) = 0;
  virtual std::string ReadString(std::string_view key, std::string_view defaultValue) = 0;
  virtual void WriteInt(std::string_view key, int32_t value) = 0;
  virtual void WriteString(std::string_view key, std::string_view value) = 0;
};

}  // namespace quorvane
