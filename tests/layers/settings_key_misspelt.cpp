// Compiled with the core's include path, this must fail: the table declares no such key.
#include "base/settings_table.h"

void SettingsKeyProbe(quorvane::SettingsStore& store) {
  quorvane::settings::Write(store, quorvane::settings::SyncInteval, 3600);
}
