#include "logging/sync_log.h"

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <map>

#include "fakes/fake_clock.h"
#include "fakes/fake_message_boxes.h"
#include "logging/log_entry.h"
#include "support/log_test_files.h"

namespace quorvane {
namespace {

namespace fs = std::filesystem;
using testing::FakeClock;
using testing::FakeMessageBoxes;
using testing::ReadFileBytes;
using testing::WriteFileBytes;

constexpr const char* kFirstLine = "2009/07/04,14:05:09,+0.012345,192.0.2.10,1,H,S\r\n";

class SyncLogTest : public ::testing::Test {
 protected:
  SyncLogTest() {
    settings.Socket_Mode = kPollMode;
    settings.ServerInUse = "192.0.2.10";
    settings.IntervalNum = "1";
    settings.IntervalUnit = "Hour(s)";
    settings.Broadcast_Timeout = 10;
    settings.Broadcast_Timeout_Unit = "Minute(s)";
    settings.Log_Limit_Type = 0;
    settings.Log_Time_Limit_Unit = "Hours";
    settings.LogFilePath = dir.path() + "/Quorvane.txt";
    SetLocal(2009, 7, 4, 14, 5, 9);
  }

  std::string Path(int n = 0) const {
    return n == 0 ? settings.LogFilePath : settings.LogFilePath + "." + std::to_string(n);
  }
  std::optional<std::string> Log(int n = 0) const { return ReadFileBytes(Path(n)); }
  void SetLocal(int y, int mo, int d, int h, int mi, int s) {
    clock.nowUnixMs = testing::LocalSeconds(y, mo, d, h, mi, s) * 1000;
  }
  // The bytes the next entry adds, line end included.
  size_t EntrySize() const {
    return FormatLogEntry(settings, clock.nowUnixMs / 1000, 0.5, 'S')->size() + 2;
  }
  std::vector<std::string> Texts() const { return boxes.Texts(); }

  testing::ScopedTimeZone utc{"UTC"};
  testing::TempDir dir;
  AppSettings settings;
  FakeClock clock;
  FakeMessageBoxes boxes;
  SyncLog log{settings, clock, boxes};
};

TEST_F(SyncLogTest, EntriesEndInCrLfAndAppendInOrder) {
  log.WriteLogEntry(0.012345, 'S');
  EXPECT_EQ(Log(), kFirstLine);
  EXPECT_EQ(log.LogEntryTime(), clock.nowUnixMs / 1000);

  settings.Socket_Mode = kListenMode;
  SetLocal(2009, 7, 4, 14, 7, 41);
  log.WriteLogEntry(-0.25, 'F');
  EXPECT_EQ(Log(), std::string(kFirstLine) + "2009/07/04,14:07:41,-0.250000,Broadcast,10,M,F\r\n");
  EXPECT_EQ(log.LogEntryTime(), testing::LocalSeconds(2009, 7, 4, 14, 7, 41));
  EXPECT_TRUE(boxes.shown.empty());
  EXPECT_FALSE(fs::exists(Path(1)));
}

TEST_F(SyncLogTest, EntryAfterTheLogWasDeletedCreatesItAndChecksTheLimit) {
  WriteFileBytes(Path(), "old\r\n");
  fs::remove(Path());
  settings.Log_Limit_Type = 1;
  settings.Log_Size_Limit_Number = 0;
  settings.Logs_To_Keep = 1;
  log.WriteLogEntry(0.012345, 'S');
  // The limit check ran: with a zero size limit the new sole entry went into backup 1.
  EXPECT_EQ(Log(1), kFirstLine);
  EXPECT_EQ(Log(), "");
  EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(SyncLogTest, UnknownSocketModeTouchesNoFile) {
  settings.Socket_Mode = 3;
  log.WriteLogEntry(0.5, 'S');
  EXPECT_FALSE(fs::exists(Path()));
  EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(SyncLogTest, LogThatCannotBeOpenedLosesTheEntryOnly) {
  fs::create_directory(Path());
  WriteFileBytes(Path() + "/inside", "kept");
  log.WriteLogEntry(0.5, 'S');
  log.WriteLogEntry(0.5, 'S');
  const std::string text = "The log file cannot be opened to write to: " + Path();
  EXPECT_EQ(Texts(), (std::vector<std::string>{text, text}));
  EXPECT_EQ(boxes.shown[0], ApplicationBox(text));
  EXPECT_EQ(ReadFileBytes(Path() + "/inside"), "kept");
}

TEST_F(SyncLogTest, LogThatCannotBeCreated) {
  WriteFileBytes(dir.path() + "/file", "");
  settings.LogFilePath = dir.path() + "/file/Quorvane.txt";
  log.WriteLogEntry(0.5, 'S');
  EXPECT_EQ(Texts(), std::vector<std::string>{
                         "The log file was not found and could not be created.\nRestarting the PC "
                         "may fix the problem:\n" +
                         settings.LogFilePath});
}

TEST_F(SyncLogTest, DiskFullWhileAppendingLeavesNoHalfLine) {
  const std::string before = std::string(kFirstLine) + kFirstLine;
  WriteFileBytes(Path(), before);
  settings.Log_Limit_Type = 1;  // a limit check after a failed write would rotate the log
  const auto texts = testing::RunWithFileSizeLimit(before.size() + 5, [&] {
    log.WriteLogEntry(0.5, 'S');
    return Texts();
  });
  ASSERT_TRUE(texts);
  EXPECT_EQ(*texts, std::vector<std::string>{"The log file cannot be written to: " + Path() +
                                             "\nFile too large"});
  EXPECT_EQ(Log(), before);
  EXPECT_FALSE(fs::exists(Path(1)));
}

TEST_F(SyncLogTest, DiskFullWhileCreatingLeavesAnEmptyLog) {
  settings.Log_Limit_Type = 1;
  const auto texts = testing::RunWithFileSizeLimit(10, [&] {
    log.WriteLogEntry(0.5, 'S');
    return Texts();
  });
  ASSERT_TRUE(texts);
  EXPECT_EQ(*texts, std::vector<std::string>{"The log file cannot be written to: " + Path() +
                                             "\nFile too large"});
  EXPECT_EQ(Log(), "");
  EXPECT_FALSE(fs::exists(Path(1)));
}

TEST_F(SyncLogTest, CreateLogFileChecksTheLimitOnlyAfterALine) {
  settings.Log_Limit_Type = 2;  // an empty first line would be reported if it were tested
  log.CreateLogFile("");
  EXPECT_EQ(Log(), "");
  EXPECT_TRUE(boxes.shown.empty());

  WriteFileBytes(Path(), "old entries\r\n");
  settings.Log_Limit_Type = 1;
  settings.Log_Size_Limit_Number = 0;
  settings.Logs_To_Keep = 5;
  log.CreateLogFile("line");
  // One check, one rotation: the new empty log is not checked and rotated again.
  EXPECT_EQ(Log(1), "line\r\n");
  EXPECT_EQ(Log(), "");
  EXPECT_FALSE(fs::exists(Path(2)));
  EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(SyncLogTest, MissingLogIsReportedByTheCheckWhateverTheLimit) {
  for (const int32_t type : {0, 1, 2, 7}) {
    boxes.shown.clear();
    settings.Log_Limit_Type = type;
    log.CheckLogLimits();
    EXPECT_EQ(Texts(), std::vector<std::string>{"The current log file is missing."}) << type;
  }
}

struct SizeCase {
  const char* name;
  int32_t megabytes;
  int64_t sizeAfterEntry;  // negative: the log is empty before the entry
  bool rotated;
};

TEST_F(SyncLogTest, SizeLimit) {
  const int64_t mib = 1048576;
  const SizeCase cases[] = {
      {"exactly at 1 MiB", 1, mib, false},
      {"one byte more", 1, mib + 1, true},
      {"zero limit, one entry", 0, -1, true},
      {"4096 MiB does not wrap to zero", 4096, -1, false},
      {"negative count sets no limit", -1, 5 * mib, false},
  };
  settings.Log_Limit_Type = 1;
  settings.Logs_To_Keep = 1;
  for (const auto& c : cases) {
    fs::remove(Path(1));
    WriteFileBytes(Path(), "");
    if (c.sizeAfterEntry > 0) fs::resize_file(Path(), c.sizeAfterEntry - EntrySize());
    settings.Log_Size_Limit_Number = c.megabytes;
    log.WriteLogEntry(0.5, 'S');
    const uint64_t expected = c.sizeAfterEntry > 0 ? c.sizeAfterEntry : EntrySize();
    EXPECT_EQ(fs::exists(Path(1)), c.rotated) << c.name;
    EXPECT_EQ(fs::file_size(c.rotated ? Path(1) : Path()), expected) << c.name;
    if (c.rotated) {
      EXPECT_EQ(fs::file_size(Path()), 0u) << c.name;
    }
  }
  EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(SyncLogTest, ZeroSizeLimitPutsEachEntryInItsOwnBackup) {
  settings.Log_Limit_Type = 1;
  settings.Log_Size_Limit_Number = 0;
  settings.Logs_To_Keep = 3;
  for (int second = 1; second <= 4; ++second) {
    SetLocal(2009, 7, 4, 14, 0, second);
    log.WriteLogEntry(0.5, 'S');
  }
  EXPECT_EQ(Log(), "");
  EXPECT_EQ(Log(1)->substr(0, 19), "2009/07/04,14:00:04");
  EXPECT_EQ(Log(2)->substr(0, 19), "2009/07/04,14:00:03");
  EXPECT_EQ(Log(3)->substr(0, 19), "2009/07/04,14:00:02");
  EXPECT_FALSE(fs::exists(Path(4)));
  EXPECT_EQ(Log(1)->size(), EntrySize());
}

struct TimeCase {
  const char* name;
  int32_t count;
  const char* unit;
  int64_t entryTime;
  bool rotated;
};

TEST_F(SyncLogTest, TimeLimit) {
  const int64_t first = testing::LocalSeconds(2009, 7, 4, 14, 5, 9);
  const TimeCase cases[] = {
      {"2 days, exactly", 2, "Days", testing::LocalSeconds(2009, 7, 6, 14, 5, 9), false},
      {"2 days and a second", 2, "Days", testing::LocalSeconds(2009, 7, 6, 14, 5, 10), true},
      {"a month is 30 days", 1, "Months", testing::LocalSeconds(2009, 8, 3, 14, 5, 9), false},
      {"30 days and a second", 1, "Months", testing::LocalSeconds(2009, 8, 3, 14, 5, 10), true},
      {"1 week, exactly", 1, "Weeks", first + 604800, false},
      {"3 hours and a second", 3, "Hours", first + 3 * 3600 + 1, true},
      {"other case, same second", 1, "hours", first, false},
      {"other case, a second later", 1, "hours", first + 1, true},
      {"entry before the first line", 0, "Hours", first - 100, false},
  };
  settings.Log_Limit_Type = 2;
  settings.Logs_To_Keep = 1;
  for (const auto& c : cases) {
    fs::remove(Path(1));
    WriteFileBytes(Path(), kFirstLine);
    settings.Log_Time_Limit_Number = c.count;
    settings.Log_Time_Limit_Unit = c.unit;
    clock.nowUnixMs = c.entryTime * 1000;
    log.WriteLogEntry(0.5, 'S');
    EXPECT_EQ(fs::exists(Path(1)), c.rotated) << c.name;
    EXPECT_EQ(Log(c.rotated ? 1 : 0)->substr(0, strlen(kFirstLine)), kFirstLine) << c.name;
  }
  EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(SyncLogTest, TimeLimitCountsRealSecondsAcrossDaylightSaving) {
  testing::ScopedTimeZone berlin("Europe/Berlin");
  struct DstCase {
    const char* firstLine;
    int64_t utcOfLimit;  // first line's time plus one day, in real seconds
  };
  const DstCase cases[] = {
      // Into summer time on 2009-03-29: 12:00 CET + 24 h is 13:00 CEST (11:00 UTC).
      {"2009/03/28,12:00:00,+0.1,x,1,H,S\n", 1238324400},
      // Back to winter time on 2009-10-25: 12:00 CEST + 24 h is 11:00 CET (10:00 UTC).
      {"2009/10/24,12:00:00,+0.1,x,1,H,S\r\n", 1256464800},
  };
  settings.Log_Limit_Type = 2;
  settings.Log_Time_Limit_Number = 1;
  settings.Log_Time_Limit_Unit = "Days";
  settings.Logs_To_Keep = 1;
  for (const auto& c : cases) {
    for (const int64_t extra : {0, 1}) {
      fs::remove(Path(1));
      WriteFileBytes(Path(), c.firstLine);
      clock.nowUnixMs = (c.utcOfLimit + extra) * 1000;
      log.WriteLogEntry(0.5, 'S');
      EXPECT_EQ(fs::exists(Path(1)), extra == 1) << c.firstLine << " +" << extra;
    }
  }
  EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(SyncLogTest, UndatedFirstLineIsReportedOnceUntilItIsValidAgain) {
  const std::string text =
      "The first line of the log file holds no valid date and time, so its time limit cannot be "
      "tested:\n" +
      Path();
  settings.Log_Limit_Type = 2;
  settings.Log_Time_Limit_Unit = "hours";  // span 0: any later entry would rotate
  settings.Logs_To_Keep = 1;
  WriteFileBytes(Path(), "edited by hand\r\n");
  for (int i = 0; i < 3; ++i) log.WriteLogEntry(0.5, 'S');
  EXPECT_EQ(Texts(), std::vector<std::string>{text});
  EXPECT_FALSE(fs::exists(Path(1)));
  const std::string kept = Log().value_or("");
  EXPECT_EQ(std::count(kept.begin(), kept.end(), '\n'), 4);

  // Valid again: tested (and not rotated, same second); then broken again: told again.
  WriteFileBytes(Path(), kFirstLine);
  log.WriteLogEntry(0.5, 'S');
  WriteFileBytes(Path(), "2009/13/04,14:05:09\r\n");
  log.WriteLogEntry(0.5, 'S');
  log.WriteLogEntry(0.5, 'S');
  EXPECT_EQ(Texts(), (std::vector<std::string>{text, text}));

  // A rotation starts afresh, too.
  log.RotateLogs();
  WriteFileBytes(Path(), "\r\n");
  log.WriteLogEntry(0.5, 'S');
  EXPECT_EQ(Texts(), (std::vector<std::string>{text, text, text}));
}

TEST_F(SyncLogTest, UnreadableLogStopsTheTimeTest) {
  fs::create_directory(Path());
  settings.Log_Limit_Type = 2;
  log.CheckLogLimits();
  EXPECT_EQ(Texts(), std::vector<std::string>{
                         "The current log file cannot be opened to test its time limit."});
}

struct RotationCase {
  const char* name;
  int32_t keep;
  std::vector<int> present;  // 0 is the log
  std::map<int, std::string> after;
};

TEST_F(SyncLogTest, RotationShiftsBackupsAndStartsAnEmptyLog) {
  const RotationCase cases[] = {
      {"three kept", 3, {0, 1, 2, 3}, {{0, ""}, {1, "log"}, {2, "b1"}, {3, "b2"}}},
      {"three kept, only the log", 3, {0}, {{0, ""}, {1, "log"}}},
      {"none kept", 0, {0, 1, 2}, {{0, ""}, {1, "b1"}, {2, "b2"}}},
      {"negative keeps none", -1, {0, 1}, {{0, ""}, {1, "b1"}}},
      {"backups above the count stay",
       2,
       {0, 1, 2, 3, 4, 5},
       {{0, ""}, {1, "log"}, {2, "b1"}, {3, "b3"}, {4, "b4"}, {5, "b5"}}},
      {"no log", 2, {1}, {{0, ""}, {2, "b1"}}},
      {"largest count", INT32_MAX, {0, 1}, {{0, ""}, {1, "log"}, {2, "b1"}}},
  };
  for (const auto& c : cases) {
    for (const auto& entry : fs::directory_iterator(dir.path())) fs::remove(entry.path());
    for (const int n : c.present) WriteFileBytes(Path(n), n == 0 ? "log" : "b" + std::to_string(n));
    settings.Logs_To_Keep = c.keep;
    log.RotateLogs();
    std::map<int, std::string> after;
    for (int n = 0; n <= 6; ++n) {
      if (auto bytes = Log(n)) after[n] = *bytes;
    }
    EXPECT_EQ(after, c.after) << c.name;
  }
  EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(SyncLogTest, LogThatCannotBeRenamedKeepsItsEntries) {
  settings.Log_Limit_Type = 1;
  settings.Log_Size_Limit_Number = 0;
  settings.Logs_To_Keep = 1;
  fs::create_directory(Path(1));
  WriteFileBytes(Path(1) + "/inside", "x");
  log.WriteLogEntry(0.012345, 'S');
  log.WriteLogEntry(0.012345, 'S');
  EXPECT_EQ(Log(), std::string(kFirstLine) + kFirstLine);
  const std::vector<std::string> once{"The earliest log file could not be deleted.",
                                      "A log file could not be renamed."};
  std::vector<std::string> twice = once;
  twice.insert(twice.end(), once.begin(), once.end());
  EXPECT_EQ(Texts(), twice);
  EXPECT_EQ(ReadFileBytes(Path(1) + "/inside"), "x");
}

// With no backups kept the rotation still goes on to start an empty log, so a log that
// only resists being deleted does not grow past its limit; a directory refuses that too.
TEST_F(SyncLogTest, LogThatCannotBeDeletedIsStillStartedAfresh) {
  fs::create_directory(Path());
  WriteFileBytes(Path() + "/inside", "x");
  settings.Logs_To_Keep = 0;
  log.RotateLogs();
  EXPECT_EQ(Texts(), (std::vector<std::string>{
                         "The earliest log file could not be deleted.",
                         "The log file was not found and could not be created.\nRestarting the "
                         "PC may fix the problem:\n" +
                             Path()}));
  EXPECT_EQ(ReadFileBytes(Path() + "/inside"), "x");
}

TEST_F(SyncLogTest, FailedRenamesNeverOverwriteABackup) {
  fs::create_directory(Path(3));
  WriteFileBytes(Path(3) + "/inside", "x");
  WriteFileBytes(Path(2), "two");
  WriteFileBytes(Path(1), "one");
  WriteFileBytes(Path(), "log");
  settings.Logs_To_Keep = 3;
  log.RotateLogs();
  EXPECT_EQ(Texts(),
            (std::vector<std::string>{
                "The earliest log file could not be deleted.", "A log file could not be renamed.",
                "A log file could not be renamed.", "A log file could not be renamed."}));
  EXPECT_EQ(Log(2), "two");
  EXPECT_EQ(Log(1), "one");
  EXPECT_EQ(Log(), "log");
}

TEST_F(SyncLogTest, ClearLogKeepsNoBackupAndLeavesBackupsAlone) {
  WriteFileBytes(Path(), kFirstLine);
  WriteFileBytes(Path(1), "one");
  log.ClearLog();
  EXPECT_EQ(Log(), "");
  EXPECT_EQ(Log(1), "one");
  EXPECT_FALSE(fs::exists(Path(2)));
  EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(SyncLogTest, ClearLogFailures) {
  log.ClearLog();
  EXPECT_FALSE(fs::exists(Path()));
  fs::create_directory(Path());
  WriteFileBytes(Path() + "/inside", "x");
  log.ClearLog();
  EXPECT_EQ(
      Texts(),
      (std::vector<std::string>{
          "The log file cannot be found.\nIt has been moved or deleted.",
          "The log file cannot be cleared.\nIt may be open in an editor.\nPlease try again."}));
  EXPECT_EQ(ReadFileBytes(Path() + "/inside"), "x");
}

}  // namespace
}  // namespace quorvane
