#pragma once

#include <QSettings>
#include <QString>
#include <memory>

#include "ports/settings_store.h"

namespace quorvane {

// The settings store on QSettings: section "Options" of the maker's profile of the program.
// Values edited by hand are never trusted: a value of the wrong type, or an integer outside
// 32 bits, reads as the caller's default.
class QtSettingsStore : public SettingsStore {
 public:
  // The user's profile: ~/.config/Veltrand/<applicationName>.conf on Linux.
  explicit QtSettingsStore(const QString& applicationName);
  // A store in the given INI file, for tests and measurements.
  static std::unique_ptr<QtSettingsStore> ForFile(const QString& path);

  int32_t ReadInt(std::string_view key, int32_t defaultValue) override;
  std::string ReadString(std::string_view key, std::string_view defaultValue) override;
  void WriteInt(std::string_view key, int32_t value) override;
  void WriteString(std::string_view key, std::string_view value) override;

  QString FileName() const { return settings_->fileName(); }

 private:
  explicit QtSettingsStore(std::unique_ptr<QSettings> settings);
  static QString KeyPath(std::string_view key);

  std::unique_ptr<QSettings> settings_;
};

// The integer a stored text stands for: decimal digits with an optional sign, nothing else;
// false when the text is not such a number or does not fit 32 bits.
bool ParseStoredInt(const QString& text, int32_t& value);

}  // namespace quorvane
