#pragma once

#include <string>
#include <string_view>

#include "base/app_settings.h"
#include "ports/message_boxes.h"
#include "ports/settings_store.h"

namespace quorvane {

inline constexpr size_t kServerTextLimit = 49;
inline constexpr const char* kServerConfigSavedText = "Server configuration changes saved.";

// The unit a unit list shows for a stored unit text: Minute(s) and Second(s) when they match
// exactly, Hour(s) for anything else.
std::string_view ShownUnit(std::string_view storedUnit);

// The counts as the dialog shows them when it opens; the stored texts are not changed.
std::string ShownIntervalCount(std::string_view stored, std::string_view unit);
std::string ShownCorrectionCount(std::string_view stored);
// The counts as OK stores them: the typed text when it is in range, else the nearest bound.
std::string StoredIntervalCount(std::string_view typed, std::string_view unit);
std::string StoredCorrectionCount(std::string_view typed);

// A server text as OK keeps it: its first 49 characters (UTF-8), not trimmed.
std::string CutServerText(std::string_view text);
// A server field's text as a test queries it: blanks, tabs and line breaks taken off both ends.
std::string TrimmedServerText(std::string_view text);

// What the Server In Use field shows for UsingServer.
const char* UsingServerText(int32_t usingServer);
// The server that UsingServer names (the primary for any value but 2).
const std::string& ServerNamedByUsingServer(const AppSettings& settings);

// The Servers dialog's OK once the list file is saved: the correction limit and interval from
// the dialog's counts, the new servers with the primary in use, and the eight keys written in
// their order.
void ApplyServerConfiguration(AppSettings& settings, SettingsStore& store, MessageBoxes& boxes,
                              const std::string& primary, const std::string& secondary);

}  // namespace quorvane
