#include "logging/correction_history.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "support/log_test_files.h"

namespace quorvane::testing {
namespace {

CorrectionHistory Build(const std::vector<std::string>& lines) {
  CorrectionHistoryBuilder builder;
  for (const std::string& line : lines) builder.AddLine(line);
  return std::move(builder.History());
}

TEST(CorrectionHistory, KeepsOnlyEntriesWithAReadableDateTimeAndCorrection) {
  struct Case {
    const char* line;
    bool kept;
  };
  const Case cases[] = {
      {"2009/07/04,14:05:09,+0.012345,192.0.2.10,1,H,S", true},
      {"2009/07/04,14:07:41,-0.250000,Broadcast,10,M,F", true},
      {"2008/02/29,23:59:59,+1.000000,a,1,H,S", true},
      {"2009/02/29,12:00:00,+1.000000,a,1,H,S", false},  // no such day
      {"2009/13/04,14:05:09,+0.012345,a,1,H,S", false},
      {"2009/07/04,24:05:09,+0.012345,a,1,H,S", false},
      {"2009/07/04,14:60:09,+0.012345,a,1,H,S", false},
      {"2009-07-04,14:05:09,+0.012345,a,1,H,S", false},
      {"2009/7/4,14:05:09,+0.012345,a,1,H,S", false},
      {"1969/12/31,23:59:59,+0.012345,a,1,H,S", true},  // before Unix time, shown too
      {"1850/03/01,00:00:00,+0.012345,a,1,H,S", true},
      {"2009/07/04,14:05:09,twelve,a,1,H,S", false},
      {"2009/07/04,14:05:09,+0.1,a,b,1,H,S", false},  // seven commas
      {"", false},
  };
  for (const Case& c : cases) {
    const CorrectionHistory h = Build({c.line});
    EXPECT_EQ(h.entries.size(), c.kept ? 1u : 0u) << c.line;
    EXPECT_EQ(h.skippedLines, c.kept ? 0 : 1) << c.line;
  }
}

// The history reads dates before 1970 as the sync log itself never writes them.
TEST(CorrectionHistory, EntriesBefore1970KeepTheirInstant) {
  const ScopedTimeZone utc("UTC");
  const CorrectionHistory h =
      Build({"1850/03/01,00:00:00,+0.5,a,1,H,S", "1950/06/01,12:00:00,+0.5,a,1,H,S",
             "1969/12/31,23:59:59,+0.5,a,1,H,S"});
  ASSERT_EQ(h.entries.size(), 3u);
  EXPECT_EQ(h.entries[0].time, -3781728000);
  EXPECT_EQ(h.entries[1].time, -618062400);
  EXPECT_EQ(h.entries[2].time, -1);
}

TEST(CorrectionHistory, EntryCarriesItsFieldsAndSources) {
  const CorrectionHistory h = Build({"2009/07/04,14:05:09,+0.012345,192.0.2.10,1,H,S",
                                     "2009/07/04,15:05:09,-0.250000,Broadcast,10,M,F",
                                     "2009/07/04,16:05:09,+0.5,192.0.2.10,1,H,s"});
  ASSERT_EQ(h.entries.size(), 3u);
  EXPECT_EQ(h.sources, (std::vector<std::string>{"192.0.2.10", "Broadcast"}));
  EXPECT_EQ(h.entries[0].date, 20090704);
  EXPECT_EQ(h.entries[0].clock, 140509);
  EXPECT_FLOAT_EQ(h.entries[0].correction, 0.012345f);
  EXPECT_TRUE(h.entries[0].Success());
  EXPECT_EQ(h.entries[1].source, 1);
  EXPECT_FALSE(h.entries[1].Success());
  EXPECT_FALSE(h.entries[2].Success());  // only "S" is a success
  EXPECT_EQ(h.entries[1].time - h.entries[0].time, 3600);
}

TEST(CorrectionHistory, DaylightSavingChangesInsideTheSpanCountRealSeconds) {
  ScopedTimeZone zone("Europe/Berlin");
  // Clocks went from 02:00 to 03:00 on 2009/03/29 and from 03:00 back to 02:00 on 2009/10/25.
  const CorrectionHistory h = Build({
      "2009/03/29,01:30:00,+0.1,a,1,H,S",
      "2009/03/29,01:59:30,+0.1,a,1,H,S",
      "2009/03/29,03:00:30,+0.1,a,1,H,S",
      "2009/03/29,04:30:00,+0.1,a,1,H,S",
      "2009/10/25,01:30:00,+0.1,a,1,H,S",
      "2009/10/25,03:30:00,+0.1,a,1,H,S",
  });
  ASSERT_EQ(h.entries.size(), 6u);
  EXPECT_EQ(h.entries[2].time - h.entries[1].time, 60);
  EXPECT_EQ(h.entries[3].time - h.entries[0].time, 2 * 3600);
  EXPECT_EQ(h.entries[5].time - h.entries[4].time, 3 * 3600);
  EXPECT_EQ(h.entries[0].time, LocalSeconds(2009, 3, 29, 1, 30, 0));
}

// Hourly successful corrections over a week from a clock that loses `rate` s a day, with
// measurement noise, optionally a manual step and a few failures.
RunningSum SyntheticLog(double rate, double noise, double manualStep, int hours) {
  std::mt19937 random(7);
  std::normal_distribution<double> error(0.0, noise);
  std::vector<HistoryEntry> entries;
  double lastError = 0.0;
  int hoursSinceSet = 0;
  for (int i = 1; i <= hours; ++i) {
    const double e = error(random);
    HistoryEntry entry;
    entry.time = 1246716309 + i * 3600 + static_cast<int>(e * 100) % 7;
    ++hoursSinceSet;
    entry.correction = static_cast<float>(rate / 24 * hoursSinceSet + e - lastError);
    if (i == hours / 2) entry.correction += static_cast<float>(manualStep);
    entry.status = i % 17 == 3 ? 'F' : 'S';
    if (entry.status == 'F') {
      entry.correction = 99.0f;  // a failed setting changes nothing, whatever it says
    } else {
      lastError = e;
      hoursSinceSet = 0;
    }
    entries.push_back(entry);
  }
  return SuccessRunningSum(entries);
}

TEST(CorrectionHistory, DriftOfAKnownRateSurvivesNoiseAndOneManualStep) {
  struct Case {
    double rate, noise, step;
  };
  for (const Case c : {Case{12, 0.0, 0}, Case{12, 0.05, 0}, Case{12, 0.05, 30}, Case{12, 0.05, -30},
                       Case{-3, 0.02, 30}}) {
    const DriftFit fit = FitDrift(SyntheticLog(c.rate, c.noise, c.step, 24 * 7));
    ASSERT_TRUE(fit.enough);
    EXPECT_NEAR(fit.secondsPerDay, c.rate, 0.5) << c.rate << " " << c.noise << " " << c.step;
    EXPECT_NEAR(fit.ppm, c.rate / 0.0864, 0.5 / 0.0864);
    EXPECT_EQ(fit.stepsSetAside > 0, c.step != 0) << c.step;
  }
}

TEST(CorrectionHistory, DriftTextGivesRateSpanAndCount) {
  const DriftFit fit = FitDrift(SyntheticLog(12, 0.0, 0, 25));
  ASSERT_TRUE(fit.enough);
  EXPECT_EQ(fit.corrections, 23);  // two of the 25 failed
  EXPECT_EQ(fit.spanSeconds, 24 * 3600);
  EXPECT_EQ(DriftText(fit),
            "Drift: +12.000 s per day (+138.89 ppm): the clock loses time. "
            "From 23 successful corrections over 1 day 0 hours.");
}

TEST(CorrectionHistory, NotEnoughCorrectionsForADrift) {
  struct Case {
    std::vector<int64_t> times;
  };
  const Case cases[] = {{{}}, {{0}}, {{0, 7200}}, {{0, 1200, 2400, 3599}}};
  for (const Case& c : cases) {
    RunningSum sum;
    for (const int64_t t : c.times) {
      sum.time.push_back(1246716309 + t);
      sum.sum.push_back(static_cast<double>(t) / 1000);
    }
    const DriftFit fit = FitDrift(sum);
    EXPECT_FALSE(fit.enough) << c.times.size();
    EXPECT_EQ(DriftText(fit), "Not enough corrections to work out the drift.");
  }
  RunningSum three;
  three.time = {1246716309, 1246716309 + 1800, 1246716309 + 3600};
  three.sum = {0.1, 0.2, 0.3};
  EXPECT_TRUE(FitDrift(three).enough);
}

TEST(CorrectionHistory, ReductionOfAMillionPointsKeepsEveryColumnExtreme) {
  constexpr size_t kPoints = 1'000'000;
  constexpr int kColumns = 1500;
  std::mt19937_64 random(11);
  std::vector<int64_t> x(kPoints);
  std::vector<double> y(kPoints);
  const int64_t from = 1'000'000'000, to = from + 30 * 86400;
  for (size_t i = 0; i < kPoints; ++i) {
    x[i] = from - 1000 + static_cast<int64_t>(random() % (to - from + 2000));
    y[i] = std::ldexp(static_cast<double>(random() % 2001) - 1000, static_cast<int>(i % 9));
  }
  y[12345] = 1e9;  // a lone outlier
  x[12345] = from + 5;
  const std::vector<uint32_t> kept = KeepColumnExtremes(x, y, from, to, kColumns);
  EXPECT_LE(kept.size(), 2u * kColumns);

  std::vector<double> low(kColumns, INFINITY), high(kColumns, -INFINITY);
  std::vector<double> keptLow(kColumns, INFINITY), keptHigh(kColumns, -INFINITY);
  const auto column = [&](size_t i) {
    return std::min<int64_t>((x[i] - from) * kColumns / (to - from), kColumns - 1);
  };
  for (size_t i = 0; i < kPoints; ++i) {
    if (x[i] < from || x[i] > to) continue;
    low[column(i)] = std::min(low[column(i)], y[i]);
    high[column(i)] = std::max(high[column(i)], y[i]);
  }
  for (const uint32_t i : kept) {
    ASSERT_TRUE(x[i] >= from && x[i] <= to);
    keptLow[column(i)] = std::min(keptLow[column(i)], y[i]);
    keptHigh[column(i)] = std::max(keptHigh[column(i)], y[i]);
  }
  EXPECT_EQ(keptLow, low);
  EXPECT_EQ(keptHigh, high);
  EXPECT_EQ(keptHigh[0], 1e9);
}

}  // namespace
}  // namespace quorvane::testing
