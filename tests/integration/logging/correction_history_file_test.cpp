#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "logging/correction_history.h"
#include "support/log_test_files.h"

namespace quorvane::testing {
namespace {

std::string Line(const char* date, const char* time, const char* correction, char status = 'S') {
  return std::string(date) + "," + time + "," + correction + ",ntp.example.org,1,H," + status +
         "\r\n";
}

std::vector<int32_t> Clocks(const CorrectionHistory& h) {
  std::vector<int32_t> clocks;
  for (const HistoryEntry& e : h.entries) clocks.push_back(e.clock);
  return clocks;
}

TEST(CorrectionHistoryFiles, LogAndTwoBackupsAreReadOldestFirst) {
  TempDir dir;
  const std::string log = dir.path() + "/Quorvane.txt";
  WriteFileBytes(log + ".2",
                 Line("2009/07/04", "01:00:00", "+0.1") + Line("2009/07/04", "02:00:00", "+0.1"));
  WriteFileBytes(log + ".1", Line("2009/07/04", "03:00:00", "+0.1") + "not an entry\r\n" +
                                 Line("2009/07/04", "04:00:00", "+0.1", 'F'));
  WriteFileBytes(log, Line("2009/07/04", "05:00:00", "+0.1") + Line("2009/07/04", "06:00:00", "x"));
  const CorrectionHistory h = ReadCorrectionHistory(log);
  EXPECT_EQ(Clocks(h), (std::vector<int32_t>{10000, 20000, 30000, 40000, 50000}));
  EXPECT_EQ(h.skippedLines, 2);
  EXPECT_EQ(h.filesRead, 3);
  EXPECT_EQ(h.filesUnreadable, 0);
  for (size_t i = 1; i < h.entries.size(); ++i) {
    EXPECT_EQ(h.entries[i].time - h.entries[i - 1].time, 3600);
  }
}

TEST(CorrectionHistoryFiles, BadFilesAreCountedAndTheRestIsRead) {
  struct Case {
    const char* name;
    bool logPresent;
    bool backupIsDirectory;
    int32_t read, unreadable;
    size_t entries;
  };
  const Case cases[] = {
      {"nothing at all", false, false, 0, 0, 0},
      {"backup only", false, false, 1, 0, 1},
      {"log and a directory as backup 2", true, true, 2, 1, 2},
      {"a directory as backup, no log", false, true, 1, 1, 1},
  };
  for (const Case& c : cases) {
    TempDir dir;
    const std::string log = dir.path() + "/Quorvane.txt";
    if (c.logPresent) WriteFileBytes(log, Line("2009/07/05", "01:00:00", "+0.2"));
    if (std::string(c.name) != "nothing at all") {
      WriteFileBytes(log + ".1", Line("2009/07/04", "01:00:00", "+0.1"));
    }
    if (c.backupIsDirectory) std::filesystem::create_directory(log + ".2");
    const CorrectionHistory h = ReadCorrectionHistory(log);
    EXPECT_EQ(h.filesRead, c.read) << c.name;
    EXPECT_EQ(h.filesUnreadable, c.unreadable) << c.name;
    EXPECT_EQ(h.entries.size(), c.entries) << c.name;
  }
}

TEST(CorrectionHistoryFiles, EntriesGoingBackInTimeAreKeptInLogOrder) {
  TempDir dir;
  const std::string log = dir.path() + "/Quorvane.txt";
  WriteFileBytes(
      log, Line("2009/07/04", "05:00:00", "+0.1") + Line("2009/07/04", "03:00:00", "-30.0") +
               Line("2009/07/04", "04:00:00", "+0.1") + Line("2009/07/04", "06:00:00", "+0.1"));
  const CorrectionHistory h = ReadCorrectionHistory(log);
  EXPECT_EQ(Clocks(h), (std::vector<int32_t>{50000, 30000, 40000, 60000}));
  const DriftFit fit = FitDrift(SuccessRunningSum(h.entries));
  EXPECT_TRUE(fit.enough);
  EXPECT_TRUE(std::isfinite(fit.secondsPerDay));
}

}  // namespace
}  // namespace quorvane::testing
