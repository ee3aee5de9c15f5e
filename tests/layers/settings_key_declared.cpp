// Compiled with the core's include path: a key the settings table declares is written through it.
#include "base/settings_table.h"

void SettingsKeyProbe(quorvane::SettingsStore& store) {
  quorvane::settings::Write(store, quorvane::settings::SyncInterval, 3600);
}
