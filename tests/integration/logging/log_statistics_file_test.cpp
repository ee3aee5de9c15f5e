#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "fakes/fake_message_boxes.h"
#include "logging/log_reader.h"
#include "logging/log_statistics.h"
#include "support/log_test_files.h"

namespace quorvane {
namespace {

using testing::FakeMessageBoxes;
using testing::WriteFileBytes;

const std::string kEntryA = "2009/07/04,14:05:09,+0.500000,192.0.2.10,1,H,S";
const std::string kEntryB = "2009/07/05,09:00:00,-0.250000,Broadcast,10,M,F";

class LogStatisticsFileTest : public ::testing::Test {
 protected:
  std::string Path() const { return dir.path() + "/Quorvane.txt"; }
  LogStatisticsReport Read() { return ReadLogStatistics(Path(), boxes); }

  testing::TempDir dir;
  FakeMessageBoxes boxes;
};

TEST_F(LogStatisticsFileTest, MissingLogIsToldAndShowsStartValuesWithoutSize) {
  const LogStatisticsReport report = Read();
  EXPECT_EQ(boxes.Texts(), std::vector<std::string>{kLogMissingText});
  EXPECT_EQ(boxes.shown.at(0), ApplicationBox(kLogMissingText));
  EXPECT_FALSE(report.sizeBytes);
  EXPECT_EQ(report.stats.entryCount, 0);
  EXPECT_EQ(report.stats.smallest, 1.0f);
}

// Something that exists but cannot be read as a file: its size is shown, then the box.
TEST_F(LogStatisticsFileTest, UnreadableLogIsToldButShowsItsSize) {
  for (const bool fifo : {false, true}) {
    std::filesystem::remove_all(Path());
    if (fifo) {
      ASSERT_EQ(::mkfifo(Path().c_str(), 0600), 0);  // opening it must not wait for a writer
    } else {
      std::filesystem::create_directory(Path());
    }
    boxes.shown.clear();
    const LogStatisticsReport report = Read();
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{kLogMissingText}) << fifo;
    EXPECT_TRUE(report.sizeBytes) << fifo;
    EXPECT_EQ(report.stats.entryCount, 0);
  }
}

TEST_F(LogStatisticsFileTest, LineEndsBinaryBytesAndHugeLines) {
  std::string bytes;
  bytes += kEntryA + "\r\n";                                    // CR LF
  bytes += kEntryB + "\n";                                      // LF
  bytes += kEntryA + "\r" + kEntryA + "\r" + kEntryA + "\r\n";  // CR only: one line, 18 commas
  bytes += std::string("2009/07/04,14:05:09,+0.1,a\0b,1,H,S\r\n", 37);  // NUL in the source
  bytes += "\xff\xfe\x01,,,,,,\x80\r\n";                  // binary, six commas, no number
  bytes += std::string(1 << 20, ',') + "\r\n";            // a 1 MB line
  bytes += kEntryA + std::string(1 << 20, 'x') + "\r\n";  // an entry made 1 MB long
  bytes += kEntryB;                                       // last line, no line end
  WriteFileBytes(Path(), bytes);

  const LogStatisticsReport report = Read();
  EXPECT_TRUE(boxes.shown.empty());
  EXPECT_EQ(report.sizeBytes, bytes.size());
  const LogStatistics& s = report.stats;
  EXPECT_EQ(s.entryCount, 4);
  EXPECT_EQ(s.successCount, 2);
  EXPECT_EQ(s.failureCount, 2);
  EXPECT_EQ(s.lastTimestamp, "2009/07/05,09:00:00");
  ASSERT_EQ(s.sources.size(), 3u);
  EXPECT_EQ(s.sources[2].source, std::string("a\0b", 3));
}

TEST_F(LogStatisticsFileTest, TenMillionLines) {
  {
    std::FILE* f = std::fopen(Path().c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs((kEntryA + "\r\n").c_str(), f);
    const std::string empties(1 << 20, '\n');
    for (int i = 0; i < 10; ++i) std::fwrite(empties.data(), 1, empties.size(), f);
    std::fputs((kEntryB + "\r\n").c_str(), f);
    std::fclose(f);
  }
  const LogStatisticsReport report = Read();
  EXPECT_EQ(report.stats.entryCount, 2);
  EXPECT_EQ(report.stats.firstTimestamp, "2009/07/04,14:05:09");
  EXPECT_EQ(report.stats.lastTimestamp, "2009/07/05,09:00:00");
}

// A log rotated, replaced or cut short while it is read: the reader finishes what it can
// see through the file it opened.
TEST_F(LogStatisticsFileTest, LogReplacedOrCutWhileRead) {
  std::string big;
  while (big.size() < (size_t{1} << 20)) big += kEntryA + "\r\n";
  for (const char* change : {"rotated", "truncated", "replaced"}) {
    WriteFileBytes(Path(), big);
    LogLineReader reader;
    ASSERT_TRUE(reader.Open(Path()));
    LogStatisticsPass pass;
    std::string_view line;
    ASSERT_EQ(reader.Next(line), LogLineReader::Result::Line);
    pass.AddLine(line);
    const std::string change_(change);
    if (change_ == "rotated") {
      std::filesystem::rename(Path(), Path() + ".1");
      WriteFileBytes(Path(), "");
    } else if (change_ == "truncated") {
      ASSERT_EQ(::truncate(Path().c_str(), 10), 0);
    } else {
      WriteFileBytes(Path() + ".new", kEntryB + "\r\n");
      std::filesystem::rename(Path() + ".new", Path());
    }
    LogLineReader::Result result;
    while ((result = reader.Next(line)) == LogLineReader::Result::Line) pass.AddLine(line);
    EXPECT_EQ(result, LogLineReader::Result::End) << change;
    EXPECT_GE(pass.Result().entryCount, 1) << change;
    std::filesystem::remove(Path() + ".1");
  }
}

}  // namespace
}  // namespace quorvane
