#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

namespace quorvane {

// Conversions between Unix time and the local calendar, for every part that shows, logs,
// parses or sets local time. One rule for what cannot be converted: a time before
// 1970-01-01 00:00:00 UTC, or one the C library refuses. Such a time gives no calendar,
// no Unix time and an empty text.

// The local calendar fields of a Unix time.
std::optional<std::tm> ToLocalCalendar(int64_t unixSeconds);

// The Unix time that local calendar fields name (month 1-12), with daylight saving decided
// for that date. Fields out of their range are normalised as mktime does; callers that
// must refuse them check the ranges first.
std::optional<int64_t> FromLocalCalendar(int year, int month, int day, int hour, int minute,
                                         int second);

// A Unix time formatted in local time with strftime; empty when it cannot be converted or
// the text does not fit 128 bytes. The program keeps LC_TIME at "C", so "%X" is HH:MM:SS
// and "%B" the English month name.
std::string FormatLocalTime(int64_t unixSeconds, const char* pattern);

// The same conversions over the whole range the C library covers, times before 1970
// included. Only the Correction History uses them: it shows old entries that the sync
// log's own rules (above) pass over.
std::optional<std::tm> ToLocalCalendarAnyYear(int64_t unixSeconds);
std::optional<int64_t> FromLocalCalendarAnyYear(int year, int month, int day, int hour, int minute,
                                                int second);

}  // namespace quorvane
