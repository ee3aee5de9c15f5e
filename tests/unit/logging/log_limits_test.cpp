#include "logging/log_limits.h"

#include <gtest/gtest.h>

#include <climits>

#include "support/log_test_files.h"

namespace quorvane {
namespace {

struct SizeCase {
  int32_t megabytes;
  uint64_t size;
  bool passed;
};

TEST(LogLimitsTest, SizeLimitIsPassedOnlyAboveItsBytes) {
  const SizeCase cases[] = {
      {1, 1048576, false},
      {1, 1048577, true},
      {0, 0, false},
      {0, 1, true},
      // 4096 MiB does not fit 32 bits; it must not wrap to a zero limit.
      {4096, 1, false},
      {4096, uint64_t{4096} << 20, false},
      {4096, (uint64_t{4096} << 20) + 1, true},
      {INT32_MAX, uint64_t{1} << 50, false},
      {INT32_MAX, UINT64_MAX, true},
      // A negative count sets no limit at all.
      {-1, UINT64_MAX, false},
      {INT32_MIN, 1, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SizeLimitPassed(c.size, c.megabytes), c.passed) << c.megabytes << " MB, " << c.size;
  }
  EXPECT_EQ(SizeLimitBytes(INT32_MAX), int64_t{INT32_MAX} << 20);
  EXPECT_EQ(SizeLimitBytes(-5), std::nullopt);
}

struct SpanCase {
  int32_t count;
  const char* unit;
  int64_t seconds;
};

TEST(LogLimitsTest, TimeSpanByUnit) {
  const SpanCase cases[] = {
      {3, "Hours", 3 * 3600},
      {2, "Days", 2 * 86400},
      {1, "Weeks", 604800},
      {1, "Months", 2592000},
      {24, "Months", 24 * int64_t{2592000}},
      {1, "hours", 0},
      {5, "Month", 0},
      {5, "", 0},
      {0, "Days", 0},
      {-1, "Hours", -3600},
      // 30 days times the largest count overflows 32 bits; the span must not.
      {INT32_MAX, "Months", int64_t{INT32_MAX} * 2592000},
      {INT32_MIN, "Weeks", int64_t{INT32_MIN} * 604800},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TimeLimitSpanSeconds(c.count, c.unit), c.seconds) << c.count << ' ' << c.unit;
  }
}

struct FirstLineCase {
  const char* line;
  std::optional<int64_t> seconds;
};

TEST(LogLimitsTest, FirstLineDateAndTime) {
  testing::ScopedTimeZone utc("UTC");
  const int64_t july4 = 1246716309;  // 2009/07/04 14:05:09 UTC
  const FirstLineCase cases[] = {
      {"2009/07/04,14:05:09,+0.012345,192.0.2.10,1,H,S", july4},
      {"2009/07/04,14:05:09", july4},
      {"2009/07/04,14:05:09\r", july4},
      {"2009/7/4,14:5:9,x", july4},
      {" 2009/07/04, 14:05:09", july4},  // "%d" skips blanks
      {"1970/01/01,00:00:00", 0},
      {"1969/12/31,23:59:59", std::nullopt},  // before 1970: not convertible
      {"1900/01/01,00:00:00", std::nullopt},
      {"2009/02/31,00:00:00", 1236038400},  // day 31 is in range; it runs on into March
      {"", std::nullopt},
      {"garbage", std::nullopt},
      {"2009/07/04 14:05:09", std::nullopt},
      {"2009/07/04,14:05", std::nullopt},
      {"2009-07-04,14:05:09", std::nullopt},
      {"1899/12/31,23:59:59", std::nullopt},
      {"2009/00/04,14:05:09", std::nullopt},
      {"2009/13/04,14:05:09", std::nullopt},
      {"2009/07/00,14:05:09", std::nullopt},
      {"2009/07/32,14:05:09", std::nullopt},
      {"2009/07/04,24:00:00", std::nullopt},
      {"2009/07/04,-1:00:00", std::nullopt},
      {"2009/07/04,14:60:00", std::nullopt},
      {"2009/07/04,14:05:60", std::nullopt},
      {"99999999999/07/04,14:05:09", std::nullopt},
      // The date must come before the second comma.
      {"2009/07/04,,14:05:09", std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FirstLineTime(c.line), c.seconds) << '"' << c.line << '"';
  }
}

}  // namespace
}  // namespace quorvane
