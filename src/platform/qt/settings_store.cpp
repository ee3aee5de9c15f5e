#include "platform/qt/settings_store.h"

#include <QStringList>
#include <QVariant>
#include <charconv>
#include <limits>

namespace quorvane {

QtSettingsStore::QtSettingsStore(const QString& applicationName)
    : QtSettingsStore(std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                                  "Veltrand", applicationName)) {}

QtSettingsStore::QtSettingsStore(std::unique_ptr<QSettings> settings)
    : settings_(std::move(settings)) {}

std::unique_ptr<QtSettingsStore> QtSettingsStore::ForFile(const QString& path) {
  return std::unique_ptr<QtSettingsStore>(
      new QtSettingsStore(std::make_unique<QSettings>(path, QSettings::IniFormat)));
}

QString QtSettingsStore::KeyPath(std::string_view key) {
  return QString::fromLatin1(kSettingsSection.data(), kSettingsSection.size()) + '/' +
         QString::fromUtf8(key.data(), static_cast<qsizetype>(key.size()));
}

bool ParseStoredInt(const QString& text, int32_t& value) {
  const QByteArray bytes = text.trimmed().toLatin1();
  const char* first = bytes.constData();
  const char* last = first + bytes.size();
  if (first != last && *first == '+') ++first;  // from_chars takes '-' only
  int64_t parsed = 0;
  const auto [end, error] = std::from_chars(first, last, parsed);
  if (error != std::errc() || end != last || first == last) return false;
  if (parsed < std::numeric_limits<int32_t>::min() || parsed > std::numeric_limits<int32_t>::max())
    return false;
  value = static_cast<int32_t>(parsed);
  return true;
}

int32_t QtSettingsStore::ReadInt(std::string_view key, int32_t defaultValue) {
  const QVariant stored = settings_->value(KeyPath(key));
  // A text file gives every value back as text, and a list when it holds a comma.
  if (!stored.isValid() || stored.typeId() == QMetaType::QStringList ||
      !stored.canConvert<QString>())
    return defaultValue;
  int32_t value = 0;
  return ParseStoredInt(stored.toString(), value) ? value : defaultValue;
}

std::string QtSettingsStore::ReadString(std::string_view key, std::string_view defaultValue) {
  const QVariant stored = settings_->value(KeyPath(key));
  if (!stored.isValid()) return std::string(defaultValue);
  // An unquoted comma in a hand-edited file splits the text into a list; join it back.
  if (stored.typeId() == QMetaType::QStringList)
    return stored.toStringList().join(", ").toStdString();
  if (!stored.canConvert<QString>()) return std::string(defaultValue);
  return stored.toString().toStdString();
}

void QtSettingsStore::WriteInt(std::string_view key, int32_t value) {
  settings_->setValue(KeyPath(key), value);
  // Written through at once, as the registry would: a crash later loses nothing.
  settings_->sync();
}

void QtSettingsStore::WriteString(std::string_view key, std::string_view value) {
  settings_->setValue(KeyPath(key),
                      QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size())));
  settings_->sync();
}

}  // namespace quorvane
