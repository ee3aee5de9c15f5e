#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "base/app_settings.h"

namespace quorvane {

// The correction field: "+" and six decimals for zero or more, the value's own minus sign
// below zero. The sign follows the value, not its rounded text, so -0.0000004 gives
// "-0.000000"; a negative zero counts as zero.
std::string FormatCorrection(double correctionSeconds);

// One line of the sync log without its line end, or nothing for a Socket_Mode other than
// poll or listen. wallSeconds is the entry's time, shown as local date and time.
std::optional<std::string> FormatLogEntry(const AppSettings& settings, int64_t wallSeconds,
                                          double correctionSeconds, char status);

}  // namespace quorvane
