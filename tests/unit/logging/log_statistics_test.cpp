#include "logging/log_statistics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace quorvane {
namespace {

std::string Entry(const std::string& correction, const std::string& source = "192.0.2.10",
                  const std::string& status = "S", const std::string& time = "14:05:09") {
  return "2009/07/04," + time + "," + correction + "," + source + ",1,H," + status;
}

struct PassCase {
  const char* name;
  std::vector<std::string> lines;
  // Number of corrections, average, maximum, maximum positive, maximum negative, minimum,
  // successful and failed polls, joined by "|".
  std::string figures;
  std::string firstEntry;
  std::string lastEntry;
  std::vector<std::string> sourceRows;
};

std::string Figures(const LogStatisticsTexts& t) {
  std::string joined;
  for (const std::string* f : {&t.entryCount, &t.average, &t.largest, &t.largestPositive,
                               &t.largestNegative, &t.smallest, &t.successCount, &t.failureCount}) {
    joined += (joined.empty() ? "" : "|") + *f;
  }
  return joined;
}

std::vector<PassCase> PassCases() {
  const std::string b(kBroadcastSource);
  return {
      {"empty log", {}, "0|N/A|0.000000|0.000000|0.000000|1.000000|0|0", "", "", {}},
      {"one forward, one backward",
       {Entry("+0.500000"), Entry("-0.750000", "192.0.2.10", "S", "14:07:41")},
       "2|0.625000|-0.750000|0.500000|-0.750000|0.500000|2|0",
       "2009/07/04 14:05:09",
       "2009/07/04 14:07:41",
       {"192.0.2.10\tPolls: 2\tReplies: 2\tAverage Correction: 0.625000"}},
      {"corrections of a second or more keep the smallest at 1.0",
       {Entry("+2.500000"), Entry("-3.000000")},
       "2|2.750000|-3.000000|2.500000|-3.000000|1.000000|2|0",
       "2009/07/04 14:05:09",
       "2009/07/04 14:05:09",
       {"192.0.2.10\tPolls: 2\tReplies: 2\tAverage Correction: 2.750000"}},
      {"of equal magnitudes the first stays",
       {Entry("+0.250000"), Entry("-0.250000")},
       "2|0.250000|0.250000|0.250000|-0.250000|0.250000|2|0",
       "2009/07/04 14:05:09",
       "2009/07/04 14:05:09",
       {"192.0.2.10\tPolls: 2\tReplies: 2\tAverage Correction: 0.250000"}},
      {"sums are held in floats",
       {Entry("+1.234567"), Entry("+0.200000")},
       // In double the average would be 0.717283.
       "2|0.717284|1.234567|1.234567|0.000000|0.200000|2|0",
       "2009/07/04 14:05:09",
       "2009/07/04 14:05:09",
       {"192.0.2.10\tPolls: 2\tReplies: 2\tAverage Correction: 0.717284"}},
      {"lines with seven commas, five commas or nothing count nowhere",
       {"", Entry("+0.100000", "a,b", "F"), "2009/07/04,14:05:09,+0.1,x,1,F", Entry("+0.300000")},
       "1|0.300000|0.300000|0.300000|0.000000|0.300000|1|0",
       "2009/07/04 14:05:09",
       "2009/07/04 14:05:09",
       {"192.0.2.10\tPolls: 1\tReplies: 1\tAverage Correction: 0.300000"}},
      {"a fifth source counts overall but gets no row",
       {Entry("+0.1", "a"), Entry("+0.1", "b"), Entry("+0.1", "c"), Entry("+0.1", "d"),
        Entry("+0.9", "e", "F"), Entry("+0.1", "a")},
       "6|0.233333|0.900000|0.900000|0.000000|0.100000|5|1",
       "2009/07/04 14:05:09",
       "2009/07/04 14:05:09",
       {"a\tPolls: 2\tReplies: 2\tAverage Correction: 0.100000",
        "b\tPolls: 1\tReplies: 1\tAverage Correction: 0.100000",
        "c\tPolls: 1\tReplies: 1\tAverage Correction: 0.100000",
        "d\tPolls: 1\tReplies: 1\tAverage Correction: 0.100000"}},
      {"broadcasts are received, not polled",
       {Entry("-0.250000", b, "F"), Entry("+0.750000", b)},
       "2|0.500000|0.750000|0.750000|-0.250000|-0.250000|1|1",
       "2009/07/04 14:05:09",
       "2009/07/04 14:05:09",
       {"Broadcast\tPolls: N/A\tReceived: 1\tAverage Correction: 0.500000"}},
      {"a source's average is over all its entries",
       {Entry("+0.1"), Entry("-0.2", "192.0.2.10", "F"), Entry("+0.3")},
       "3|0.200000|0.300000|0.300000|-0.200000|0.100000|2|1",
       "2009/07/04 14:05:09",
       "2009/07/04 14:05:09",
       {"192.0.2.10\tPolls: 3\tReplies: 2\tAverage Correction: 0.200000"}},
      {"statuses are exact: s, S with a blank and SF count as neither",
       {Entry("+0.1", "h", "s"), Entry("+0.1", "h", "S "), Entry("+0.1", "h", "SF")},
       "3|0.100000|0.100000|0.100000|0.000000|0.100000|0|0",
       "2009/07/04 14:05:09",
       "2009/07/04 14:05:09",
       {"h\tPolls: 3\tReplies: 0\tAverage Correction: 0.100000"}},
      {"sources are told apart by case; an empty one counts for none",
       {Entry("+0.1", "host"), Entry("+0.1", "Host"), Entry("+0.1", "")},
       "3|0.100000|0.100000|0.100000|0.000000|0.100000|3|0",
       "2009/07/04 14:05:09",
       "2009/07/04 14:05:09",
       {"host\tPolls: 1\tReplies: 1\tAverage Correction: 0.100000",
        "Host\tPolls: 1\tReplies: 1\tAverage Correction: 0.100000"}},
      {"corrections that are not finite numbers make no entry",
       {Entry("abc"), Entry("nan"), Entry("-inf"), Entry("1e40"), Entry(""), Entry("-0")},
       "1|0.000000|0.000000|0.000000|0.000000|0.000000|1|0",
       "2009/07/04 14:05:09",
       "2009/07/04 14:05:09",
       {"192.0.2.10\tPolls: 1\tReplies: 1\tAverage Correction: 0.000000"}},
      {"first and last entry times",
       {"junk", Entry("+0.1", "h", "S", "01:00:00"), Entry("+0.1", "h", "S", "02:00:00"),
        Entry("+0.1", "h", "S", "03:00:00"), "junk"},
       "3|0.100000|0.100000|0.100000|0.000000|0.100000|3|0",
       "2009/07/04 01:00:00",
       "2009/07/04 03:00:00",
       {"h\tPolls: 3\tReplies: 3\tAverage Correction: 0.100000"}},
  };
}

TEST(LogStatistics, PassOverLines) {
  for (const PassCase& c : PassCases()) {
    SCOPED_TRACE(c.name);
    const LogStatisticsTexts t = StatisticsTexts(ComputeLogStatistics(c.lines));
    EXPECT_EQ(Figures(t), c.figures);
    EXPECT_EQ(t.firstEntry, c.firstEntry);
    EXPECT_EQ(t.lastEntry, c.lastEntry);
    EXPECT_EQ(t.sourceRows, c.sourceRows);
  }
}

// A source whose entries all failed still shows its average, and the figures of the float
// sums stay floats after many small additions.
TEST(LogStatistics, ManySmallCorrectionsAddUpAsFloats) {
  std::vector<std::string> lines(100000, Entry("+0.000001", "h", "F"));
  const LogStatistics stats = ComputeLogStatistics(lines);
  float expected = 0.0f;
  for (size_t i = 0; i < lines.size(); ++i) expected += 0.000001f;
  EXPECT_EQ(stats.magnitudeSum, expected);
  EXPECT_NE(static_cast<double>(stats.magnitudeSum), 0.1);
  EXPECT_EQ(stats.failureCount, 100000);
  ASSERT_EQ(stats.sources.size(), 1u);
  EXPECT_EQ(stats.sources[0].successes, 0);
}

TEST(LogStatistics, ReadCorrectionAsPercentF) {
  struct Case {
    const char* field;
    std::optional<float> value;
  };
  const Case cases[] = {
      {"+0.012345", 0.012345f},
      {"-0.750000", -0.75f},
      {" \t1.5", 1.5f},
      {"3.5xyz", 3.5f},
      {".5", 0.5f},
      {"+.25", 0.25f},
      {"1e-3", 0.001f},
      {"0x1p3", 8.0f},
      {"1e-50", 0.0f},
      {"+-1", std::nullopt},
      {"--1", std::nullopt},
      {"-+1", std::nullopt},
      {"", std::nullopt},
      {"+", std::nullopt},
      {"abc", std::nullopt},
      {"nan", std::nullopt},
      {"inf", std::nullopt},
      {"-infinity", std::nullopt},
      {"1e40", std::nullopt},
      {"-1e39", std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ReadCorrection(c.field), c.value) << c.field;
  }
  const std::optional<float> zero = ReadCorrection("-0");
  ASSERT_TRUE(zero);
  EXPECT_FALSE(std::signbit(*zero));
}

// The log writer's own form has a quick reader of its own; it must give the float that the
// C library's reading gives, for every count of decimals and digits.
TEST(LogStatistics, QuickReadingOfTheWritersFormAgreesWithStrtof) {
  const unsigned seed = std::random_device{}();
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937_64 random(seed);
  for (int i = 0; i < 200000; ++i) {
    const int decimals = 1 + static_cast<int>(random() % 6);
    const int digits = 1 + static_cast<int>(random() % 9);
    const uint64_t whole = random() % static_cast<uint64_t>(std::pow(10, digits));
    const uint64_t fraction = random() % static_cast<uint64_t>(std::pow(10, decimals));
    char text[64];
    std::snprintf(text, sizeof text, "%s%llu.%0*llu", i % 2 ? "-" : "+",
                  static_cast<unsigned long long>(whole), decimals,
                  static_cast<unsigned long long>(fraction));
    const std::optional<float> read = ReadCorrection(text);
    ASSERT_TRUE(read) << text;
    const float expected = std::strtof(text, nullptr) + 0.0f;
    ASSERT_EQ(*read, expected) << text;
  }
}

TEST(LogStatistics, SizeText) {
  struct Case {
    uint64_t bytes;
    const char* text;
  };
  const Case cases[] = {
      {0, "0 Bytes"},
      {1023, "1023 Bytes"},
      {1024, "1.000 KB"},
      {1536, "1.500 KB"},
      {1048575, "1023.999 KB"},
      {1048576, "1.000 MB"},
      {1073741823, "1.000 GB"},  // the kilobytes round to 1048576.0 as a float
      {1073741824, "1.000 GB"},
      {uint64_t{5} << 30, "5.000 GB"},
      {uint64_t{1} << 40, "1024.000 GB"},
  };
  for (const Case& c : cases) EXPECT_EQ(LogSizeText(c.bytes), c.text) << c.bytes;
}

}  // namespace
}  // namespace quorvane
