#include "base/app_settings.h"

#include <gtest/gtest.h>

#include "fakes/fake_message_boxes.h"
#include "fakes/fake_settings_store.h"

namespace quorvane {
namespace {

using testing::FakeMessageBoxes;
using testing::FakeSettingsStore;

struct Loaded {
  FakeSettingsStore store;
  FakeMessageBoxes boxes;
  AppSettings settings;
  void Load() { settings.Load(store, boxes, "/opt/quorvane/"); }
};

TEST(AppSettingsTest, FirstStartGivesDefaultsInTableOrderAndWritesNothing) {
  Loaded l;
  l.Load();
  const AppSettings& s = l.settings;
  EXPECT_EQ(s.Notify_User, 0);
  EXPECT_EQ(s.MinimizeToTray, 1);
  EXPECT_EQ(s.ForeGroundColor, 0x0000C0F9u);
  EXPECT_EQ(s.BackGroundColor, 0x00FF8000u);
  EXPECT_EQ(s.IntervalNum, "1");
  EXPECT_EQ(s.IntervalUnit, "Hour(s)");
  EXPECT_EQ(s.SyncInterval, 3600);
  EXPECT_EQ(s.LogToFile, 1);
  EXPECT_EQ(s.Log_Time_Limit_Unit, "Hours");
  EXPECT_EQ(s.Socket_Mode, 1);
  EXPECT_EQ(s.Use_NTS, 0);
  EXPECT_EQ(s.NTS_Trust_File, "");
  EXPECT_EQ(s.MaxCorrectionSeconds, 3600.0);
  EXPECT_EQ(s.BroadcastTimeoutMs, 3600000u);
  EXPECT_EQ(s.ServerInUse, s.Primary_Server);
  EXPECT_FALSE(s.Primary_Server.empty());
  EXPECT_NE(s.Primary_Server, s.Secondary_Server);
  EXPECT_EQ(s.UsingServer, 1);
  EXPECT_EQ(s.LogFilePath, "/opt/quorvane/Quorvane.txt");
  EXPECT_TRUE(l.store.writtenKeys.empty());
  EXPECT_TRUE(l.boxes.shown.empty());
  const std::vector<std::string> order{"Primary_Server",
                                       "Secondary_Server",
                                       "Notify_User",
                                       "MinimizeToTray",
                                       "ForeGroundColor",
                                       "BackGroundColor",
                                       "IntervalNum",
                                       "IntervalUnit",
                                       "MaxCorrectionNum",
                                       "MaxCorrectionUnit",
                                       "SyncInterval",
                                       "RunAtStartup",
                                       "StartMinimized",
                                       "LogToFile",
                                       "Log_Limit_Type",
                                       "Log_Size_Limit_Number",
                                       "Log_Time_Limit_Number",
                                       "Log_Time_Limit_Unit",
                                       "Logs_To_Keep",
                                       "Socket_Mode",
                                       "Broadcast_Timeout",
                                       "Broadcast_Timeout_Unit",
                                       "Broadcast_Max_Correction",
                                       "Broadcast_Max_Correction_Unit",
                                       "Use_NTS",
                                       "NTS_Trust_File"};
  EXPECT_EQ(l.store.readKeys, order);
}

TEST(AppSettingsTest, EmptyProgramDirectoryGivesBareLogName) {
  FakeSettingsStore store;
  FakeMessageBoxes boxes;
  AppSettings s;
  s.Load(store, boxes, "");
  EXPECT_EQ(s.LogFilePath, "Quorvane.txt");
}

struct LimitCase {
  const char* name;
  int32_t mode;
  std::string maxNum;
  std::string maxUnit;
  int32_t broadcastMax;
  std::string broadcastMaxUnit;
  double expected;
};

class CorrectionLimitTest : public ::testing::TestWithParam<LimitCase> {};

TEST_P(CorrectionLimitTest, FollowsModeCountAndUnit) {
  const LimitCase& c = GetParam();
  Loaded l;
  l.store.values["Socket_Mode"] = c.mode;
  l.store.values["MaxCorrectionNum"] = c.maxNum;
  l.store.values["MaxCorrectionUnit"] = c.maxUnit;
  l.store.values["Broadcast_Max_Correction"] = c.broadcastMax;
  l.store.values["Broadcast_Max_Correction_Unit"] = c.broadcastMaxUnit;
  l.Load();
  EXPECT_EQ(l.settings.MaxCorrectionSeconds, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CorrectionLimitTest,
    ::testing::Values(
        LimitCase{"PollMinutes", 1, "5", "Minute(s)", 1, "Hour(s)", 300.0},
        LimitCase{"PollSecondsWithBlanksAndSign", 1, "  +42xyz", "Second(s)", 1, "Hour(s)", 42.0},
        LimitCase{"PollNoDigitsIsZero", 1, "abc", "Hour(s)", 1, "Hour(s)", 0.0},
        LimitCase{"PollLowerCaseUnitKeepsPrevious", 1, "2", "hour(s)", 1, "Hour(s)", 0.0},
        LimitCase{"PollNegative", 1, "-2", "Minute(s)", 1, "Hour(s)", -120.0},
        // 600000 hours does not fit 32 bits: the product wraps as a signed 32-bit value.
        LimitCase{"PollWrapsSigned", 1, "600000", "Hour(s)", 1, "Hour(s)",
                  static_cast<double>(static_cast<int32_t>(600000u * 3600u))},
        LimitCase{"ListenMinutes", 2, "1", "Hour(s)", 10, "Minute(s)", 600.0},
        LimitCase{"ListenNegativeIsUnsigned", 2, "1", "Hour(s)", -1, "Second(s)", 4294967295.0}),
    [](const auto& info) { return info.param.name; });

TEST(AppSettingsTest, UnknownSocketModeIsReportedEachTimeAndKeepsLimit) {
  Loaded l;
  l.store.values["Socket_Mode"] = 3;
  l.Load();
  ASSERT_EQ(l.boxes.shown.size(), 1u);
  EXPECT_EQ(l.boxes.shown[0].text, "Message from Quorvane: Unknown Socket Mode!");
  EXPECT_EQ(l.boxes.shown[0].kind, BoxKind::Application);
  EXPECT_EQ(l.boxes.shown[0].icon, BoxIcon::Exclamation);
  EXPECT_EQ(l.settings.MaxCorrectionSeconds, 0.0);
  l.settings.RecomputeCorrectionLimit(l.boxes);
  EXPECT_EQ(l.boxes.shown.size(), 2u);
}

TEST(AppSettingsTest, BroadcastTimeoutUnits) {
  struct Case {
    int32_t count;
    std::string unit;
    uint32_t expected;
  };
  for (const Case& c :
       {Case{2, "Second(s)", 2000u}, Case{3, "Minute(s)", 180000u}, Case{1, "Hour(s)", 3600000u},
        // an unknown unit keeps the minutes assumed first
        Case{7, "Days", 420000u}, Case{0, "Second(s)", 0u}}) {
    Loaded l;
    l.store.values["Broadcast_Timeout"] = c.count;
    l.store.values["Broadcast_Timeout_Unit"] = c.unit;
    l.Load();
    EXPECT_EQ(l.settings.BroadcastTimeoutMs, c.expected) << c.count << " " << c.unit;
  }
}

TEST(AppSettingsTest, SyncIntervalIsReadAsStoredNotRecomputed) {
  Loaded l;
  l.store.values["IntervalNum"] = std::string("5");
  l.store.values["IntervalUnit"] = std::string("Minute(s)");
  l.store.values["SyncInterval"] = 900;
  l.Load();
  EXPECT_EQ(l.settings.SyncInterval, 900);
  EXPECT_EQ(l.settings.SyncIntervalFromCountAndUnit(), 300);
}

TEST(AppSettingsTest, MistypedValuesFallBackToDefaults) {
  Loaded l;
  l.store.values["SyncInterval"] = std::string("often");
  l.store.values["Primary_Server"] = 17;
  l.Load();
  EXPECT_EQ(l.settings.SyncInterval, 3600);
  EXPECT_EQ(l.settings.Primary_Server, kDefaultPrimaryServer);
}

TEST(AtoiPrefixTest, FollowsDecimalPrefixRuleWithoutOverflow) {
  struct Case {
    const char* text;
    int32_t expected;
  };
  for (const Case& c :
       {Case{"", 0}, Case{"12", 12}, Case{" \t-7", -7}, Case{"+3m", 3}, Case{"- 3", 0},
        Case{"99999999999999", 2147483647}, Case{"-99999999999999", -2147483647 - 1}}) {
    EXPECT_EQ(AtoiPrefix(c.text), c.expected) << c.text;
  }
}

}  // namespace
}  // namespace quorvane
