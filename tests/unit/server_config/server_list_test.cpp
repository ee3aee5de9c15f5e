#include "server_config/server_list.h"

#include <gtest/gtest.h>

#include "fakes/fake_list_file_ops.h"
#include "fakes/fake_message_boxes.h"

namespace quorvane {
namespace {

using testing::FakeListFileOps;
using testing::FakeMessageBoxes;
using Lines = std::vector<std::string>;

TEST(ServerListParse, EachKindOfLine) {
  const struct {
    std::string line;
    Lines standard;
    Lines custom;
  } cases[] = {
      {"standard,192.0.2.10", {"192.0.2.10"}, {}},
      {"custom,192.0.2.20", {}, {"192.0.2.20"}},
      {"custom,a,b", {}, {"a,b"}},
      {"standard,", {""}, {}},
      {"standard, spaced entry ", {" spaced entry "}, {}},
      {"Standard,x", {}, {}},
      {"standard ,x", {}, {}},
      {" custom,x", {}, {}},
      {"", {}, {}},
      {"no comma here", {}, {}},
      {",x", {}, {}},
  };
  for (const auto& c : cases) {
    for (const char* end : {"", "\n", "\r\n"}) {
      const ServerLists lists = ParseServerLists(c.line + end);
      EXPECT_EQ(lists.standard, c.standard) << c.line << " end " << end;
      EXPECT_EQ(lists.custom, c.custom) << c.line << " end " << end;
    }
  }
}

TEST(ServerListParse, MixedLineEndsKeepFileOrderAndDuplicates) {
  const ServerLists lists =
      ParseServerLists("custom,z\nstandard,y\r\n\r\nstandard,X\ncustom,z\r\nstandard,last");
  EXPECT_EQ(lists.standard, (Lines{"y", "X", "last"}));
  EXPECT_EQ(lists.custom, (Lines{"z", "z"}));
}

TEST(ServerListParse, EmptyOrForeignFileGivesEmptyLists) {
  for (const char* content : {"", "\n\n\r\n", "other,a\nStandard,b\n"}) {
    EXPECT_EQ(ParseServerLists(content), ServerLists{}) << content;
  }
}

TEST(ServerListParse, BadInputIsKeptByteForByte) {
  std::string binary = "standard,";
  for (int b = 0; b < 256; ++b) {
    if (b != '\n') binary += static_cast<char>(b);
  }
  const std::string huge(1 << 20, 'h');
  const struct {
    std::string content;
    Lines standard;
  } cases[] = {
      {binary + "\n", {binary.substr(9)}},
      {std::string("standard,a\0b\0", 13), {std::string("a\0b\0", 4)}},
      {"standard," + huge + "\r\n", {huge}},
      // Lone CRs end no line: the whole text is one line and one entry.
      {"standard,a\rstandard,b\r", {"a\rstandard,b\r"}},
      {"standard,x\r\r\n", {"x\r"}},
  };
  for (const auto& c : cases) {
    const ServerLists lists = ParseServerLists(c.content);
    EXPECT_EQ(lists.standard, c.standard) << c.content.size();
    // What is read is written back unchanged, and read again the same.
    EXPECT_EQ(ParseServerLists(FormatServerLists(lists)), lists) << c.content.size();
  }
}

TEST(ServerListParse, HundredThousandLines) {
  std::string content;
  for (int i = 0; i < 100000; ++i)
    content += (i % 2 ? "custom,c" : "standard,s") + std::to_string(i) + "\n";
  const ServerLists lists = ParseServerLists(content);
  ASSERT_EQ(lists.standard.size(), 50000u);
  ASSERT_EQ(lists.custom.size(), 50000u);
  EXPECT_EQ(lists.standard.back(), "s99998");
  EXPECT_EQ(lists.custom.front(), "c1");
}

TEST(ServerListFormat, SortedRewriteStandardFirstWithCrLf) {
  ServerLists lists{{"y", "X"}, {"z"}};
  SortIgnoringCase(lists.standard);
  SortIgnoringCase(lists.custom);
  EXPECT_EQ(FormatServerLists(lists), "standard,X\r\nstandard,y\r\ncustom,z\r\n");
  EXPECT_EQ(FormatServerLists(ServerLists{{""}, {}}), "standard,\r\n");
  EXPECT_EQ(FormatServerLists(ServerLists{}), "");
}

TEST(ServerListOrder, IgnoresCaseAndKeepsEqualEntriesInArrivalOrder) {
  Lines entries{"b.example", "A.example", "a.EXAMPLE", "a.example", "B"};
  SortIgnoringCase(entries);
  EXPECT_EQ(entries, (Lines{"A.example", "a.EXAMPLE", "a.example", "B", "b.example"}));
  EXPECT_TRUE(StartsWithIgnoringCase("ABC", "ab"));
  EXPECT_FALSE(StartsWithIgnoringCase("ab", "ABC"));
  EXPECT_TRUE(StartsWithIgnoringCase("x", ""));
}

TEST(ServerListLoad, MissingFileShowsTheMessageAndGivesEmptyLists) {
  FakeListFileOps files;
  FakeMessageBoxes boxes;
  EXPECT_EQ(LoadServerLists("/d/Quorvane.ini", files, boxes), ServerLists{});
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0], ApplicationBox(kListFileMissingText));
  files.files["/d/Quorvane.ini"] = "";
  boxes.shown.clear();
  EXPECT_EQ(LoadServerLists("/d/Quorvane.ini", files, boxes), ServerLists{});
  EXPECT_TRUE(boxes.shown.empty());  // an empty file is no failure
}

constexpr const char* kList = "/d/Quorvane.ini";
constexpr const char* kTemp = "/d/Quorvane_temp.ini";

TEST(ServerListSave, WritesTheTempFileThenRenamesItOverTheOldList) {
  FakeListFileOps files;
  FakeMessageBoxes boxes;
  files.files[kList] = "standard,old\r\n";
  files.files[kTemp] = "left over";
  EXPECT_EQ(SaveServerLists(kList, kTemp, {{"s"}, {"c"}}, files, boxes), SaveOutcome::Saved);
  EXPECT_EQ(files.calls,
            (Lines{"exists /d/Quorvane_temp.ini", "remove /d/Quorvane_temp.ini",
                   "write /d/Quorvane_temp.ini", "replace /d/Quorvane_temp.ini /d/Quorvane.ini"}));
  EXPECT_EQ(files.files.at(kList), "standard,s\r\ncustom,c\r\n");
  EXPECT_FALSE(files.files.contains(kTemp));
  EXPECT_TRUE(boxes.shown.empty());
}

TEST(ServerListSave, EachFailureIsReportedWithItsMessage) {
  const struct {
    const char* name;
    void (*inject)(FakeListFileOps&);
    SaveOutcome outcome;
    const char* text;
  } cases[] = {
      {"temp not removed", [](FakeListFileOps& f) { f.failRemove = true; },
       SaveOutcome::TempNotRemoved, kTempNotRemovedText},
      {"temp not created", [](FakeListFileOps& f) { f.writeResult = WriteResult::NotCreated; },
       SaveOutcome::TempNotCreated, kTempNotCreatedText},
      {"write error", [](FakeListFileOps& f) { f.writeResult = WriteResult::WriteFailed; },
       SaveOutcome::TempNotWritten, kTempNotWrittenText},
      {"list in the way",
       [](FakeListFileOps& f) { f.replaceResult = ReplaceResult::TargetInTheWay; },
       SaveOutcome::OldListNotRemoved, kOldListNotRemovedText},
      {"rename failed", [](FakeListFileOps& f) { f.replaceResult = ReplaceResult::Failed; },
       SaveOutcome::TempNotRenamed, kTempNotRenamedText},
  };
  for (const auto& c : cases) {
    FakeListFileOps files;
    FakeMessageBoxes boxes;
    files.files[kList] = "standard,old\r\n";
    files.files[kTemp] = "left over";
    c.inject(files);
    EXPECT_EQ(SaveServerLists(kList, kTemp, {{"new"}, {}}, files, boxes), c.outcome) << c.name;
    ASSERT_EQ(boxes.shown.size(), 1u) << c.name;
    EXPECT_EQ(boxes.shown[0], ApplicationBox(c.text)) << c.name;
    // The old list is never deleted on the way.
    EXPECT_EQ(files.files.at(kList), "standard,old\r\n") << c.name;
    for (const std::string& call : files.calls) EXPECT_NE(call, "remove /d/Quorvane.ini");
  }
}

}  // namespace
}  // namespace quorvane
