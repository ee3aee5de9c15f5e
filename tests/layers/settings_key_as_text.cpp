// Compiled with the core's include path, this must fail: the store takes no key as text,
// only the table's keys.
#include "base/settings_table.h"

void SettingsKeyProbe(quorvane::SettingsStore& store) { store.WriteInt("SyncInterval", 3600); }
