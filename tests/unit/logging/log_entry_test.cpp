#include "logging/log_entry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>

#include "support/log_test_files.h"

namespace quorvane {
namespace {

struct CorrectionCase {
  double value;
  const char* text;
};

TEST(LogEntryTest, CorrectionTakesItsSignFromTheValue) {
  const CorrectionCase cases[] = {
      {0.0, "+0.000000"},
      {-0.0, "+0.000000"},  // a negative zero is zero, not "+-0.000000"
      {0.012345, "+0.012345"},
      {-0.25, "-0.250000"},
      {-0.0000004, "-0.000000"},
      {0.0000004, "+0.000000"},
      {0.0000006, "+0.000001"},
      {3600.5, "+3600.500000"},
      {-86400.0, "-86400.000000"},
      {1e20, "+100000000000000000000.000000"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FormatCorrection(c.value), c.text) << c.value;
  }
}

AppSettings EntrySettings() {
  AppSettings s;
  s.Socket_Mode = kPollMode;
  s.ServerInUse = "192.0.2.10";
  s.IntervalNum = "1";
  s.IntervalUnit = "Hour(s)";
  s.Broadcast_Timeout = 10;
  s.Broadcast_Timeout_Unit = "Minute(s)";
  return s;
}

struct EntryCase {
  const char* name;
  void (*change)(AppSettings&);
  double correction;
  char status;
  const char* line;
};

TEST(LogEntryTest, FieldsFollowTheSocketModeAndStayOnOneLine) {
  using namespace std::string_literals;
  const EntryCase cases[] = {
      {"poll", [](AppSettings&) {}, 0.012345, 'S',
       "2009/07/04,14:05:09,+0.012345,192.0.2.10,1,H,S"},
      {"listen", [](AppSettings& s) { s.Socket_Mode = kListenMode; }, -0.25, 'F',
       "2009/07/04,14:05:09,-0.250000,Broadcast,10,M,F"},
      {"interval copied as stored",
       [](AppSettings& s) {
         s.IntervalNum = " +5x";
         s.IntervalUnit = "Second(s)";
       },
       0.0, 'S', "2009/07/04,14:05:09,+0.000000,192.0.2.10, +5x,S,S"},
      {"server with a comma", [](AppSettings& s) { s.ServerInUse = "a,b"; }, 1.0, 'S',
       "2009/07/04,14:05:09,+1.000000,a,b,1,H,S"},
      {"empty interval unit", [](AppSettings& s) { s.IntervalUnit.clear(); }, 1.0, 'S',
       "2009/07/04,14:05:09,+1.000000,192.0.2.10,1,,S"},
      {"empty broadcast unit",
       [](AppSettings& s) {
         s.Socket_Mode = kListenMode;
         s.Broadcast_Timeout_Unit.clear();
         s.Broadcast_Timeout = -3;
       },
       1.0, 'S', "2009/07/04,14:05:09,+1.000000,Broadcast,-3,,S"},
      // What the settings file holds reaches the log; no text in it may end the entry early
      // or add a line of its own, which the statistics would count as a sync: each CR, LF
      // or NUL becomes a space.
      {"a forged entry after CR LF in the interval",
       [](AppSettings& s) { s.IntervalNum = "1\r\n2009/07/04,14:05:10,+9.000000,x,1,H,S"; }, 0.5,
       'S',
       "2009/07/04,14:05:09,+0.500000,192.0.2.10,1  2009/07/04,14:05:10,+9.000000,x,1,H,S,H,S"},
      {"a NUL in the server", [](AppSettings& s) { s.ServerInUse = "192.0.2.10\0evil"s; }, 0.5, 'S',
       "2009/07/04,14:05:09,+0.500000,192.0.2.10 evil,1,H,S"},
      {"a lone LF and a lone CR", [](AppSettings& s) { s.ServerInUse = "\na\rb\r"; }, 0.5, 'F',
       "2009/07/04,14:05:09,+0.500000, a b ,1,H,F"},
      {"a unit that starts with a line break", [](AppSettings& s) { s.IntervalUnit = "\nHour"; },
       0.5, 'S', "2009/07/04,14:05:09,+0.500000,192.0.2.10,1, ,S"},
      {"a listen unit that starts with a NUL",
       [](AppSettings& s) {
         s.Socket_Mode = kListenMode;
         s.Broadcast_Timeout_Unit = "\0M"s;
       },
       0.5, 'S', "2009/07/04,14:05:09,+0.500000,Broadcast,10, ,S"},
  };
  testing::ScopedTimeZone utc("UTC");
  const int64_t when = testing::LocalSeconds(2009, 7, 4, 14, 5, 9);
  for (const auto& c : cases) {
    AppSettings s = EntrySettings();
    c.change(s);
    EXPECT_EQ(FormatLogEntry(s, when, c.correction, c.status), c.line) << c.name;
  }
}

TEST(LogEntryTest, CorrectionMatchesPrintfFixedPoint) {
  const unsigned seed = 20091025;
  std::mt19937_64 random(seed);
  std::uniform_real_distribution<double> magnitude(-12.0, 6.0);
  for (int i = 0; i < 20000; ++i) {
    const double value = std::pow(10.0, magnitude(random)) * (random() % 2 ? 1 : -1);
    char expected[64];
    std::snprintf(expected, sizeof expected, value < 0 ? "%f" : "+%f", value);
    ASSERT_EQ(FormatCorrection(value), expected) << "seed " << seed << ", value " << value;
  }
}

TEST(LogEntryTest, UnknownSocketModeHasNoEntry) {
  for (const int32_t mode : {0, 3, -1}) {
    AppSettings s = EntrySettings();
    s.Socket_Mode = mode;
    EXPECT_EQ(FormatLogEntry(s, 1246716309, 0.5, 'S'), std::nullopt) << mode;
  }
}

TEST(LogEntryTest, DateAndTimeAreLocal) {
  testing::ScopedTimeZone berlin("Europe/Berlin");
  // 12:05:09 UTC is 14:05:09 in Berlin summer time.
  const std::optional<std::string> line = FormatLogEntry(EntrySettings(), 1246709109, 0, 'S');
  ASSERT_TRUE(line);
  EXPECT_EQ(line->substr(0, 19), "2009/07/04,14:05:09");
}

}  // namespace
}  // namespace quorvane
