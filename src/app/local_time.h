#pragma once

#include <cstdint>
#include <string>

namespace quorvane {

// A Unix time formatted in local time with strftime in the "C" locale; empty when the time
// cannot be converted (before 1970 included) or the text does not fit 128 bytes.
std::string FormatLocalTime(int64_t unixSeconds, const char* pattern);

}  // namespace quorvane
