#include "server_config/server_dialog_rules.h"

#include <gtest/gtest.h>

#include "fakes/fake_message_boxes.h"
#include "fakes/fake_settings_store.h"
#include "support/settings_fixtures.h"

namespace quorvane {
namespace {

using testing::FakeMessageBoxes;
using testing::FakeSettingsStore;

TEST(ServerDialogRules, CountsShownWhenTheDialogOpens) {
  const struct {
    const char* stored;
    std::string_view unit;
    const char* interval;
    const char* correction;
  } cases[] = {
      {"0", kUnitHours, "1", "1"},         {"", kUnitHours, "1", "1"},
      {"-3", kUnitSeconds, "1", "1"},      {"5", kUnitSeconds, "15", "5"},
      {"5", kUnitMinutes, "5", "5"},       {"601", kUnitHours, "600", "600"},
      {"600", kUnitSeconds, "600", "600"}, {"07x", kUnitHours, "07x", "07x"},
      {"14", kUnitSeconds, "15", "14"},    {"15", kUnitSeconds, "15", "15"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ShownIntervalCount(c.stored, c.unit), c.interval) << c.stored << " " << c.unit;
    EXPECT_EQ(ShownCorrectionCount(c.stored), c.correction) << c.stored;
  }
}

TEST(ServerDialogRules, CountsStoredByOk) {
  const struct {
    const char* typed;
    std::string_view unit;
    const char* interval;
    const char* correction;
  } cases[] = {
      {"", kUnitHours, "1", "1"},          {"", kUnitSeconds, "15", "1"},
      {"0", kUnitSeconds, "15", "1"},      {"5", kUnitSeconds, "15", "5"},
      {"5", kUnitMinutes, "5", "5"},       {"601", kUnitHours, "600", "600"},
      {"601", kUnitSeconds, "600", "600"}, {"0042", kUnitHours, "0042", "0042"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(StoredIntervalCount(c.typed, c.unit), c.interval) << c.typed << " " << c.unit;
    EXPECT_EQ(StoredCorrectionCount(c.typed), c.correction) << c.typed;
  }
}

TEST(ServerDialogRules, UnitListShowsExactMatchesOrHours) {
  EXPECT_EQ(ShownUnit("Minute(s)"), kUnitMinutes);
  EXPECT_EQ(ShownUnit("Second(s)"), kUnitSeconds);
  EXPECT_EQ(ShownUnit("second(s)"), kUnitHours);
  EXPECT_EQ(ShownUnit(""), kUnitHours);
}

TEST(ServerDialogRules, ServerTextsAreCutTo49CharactersAndTrimmedOnlyForTests) {
  const std::string sixty(60, 'a');
  EXPECT_EQ(CutServerText(sixty), std::string(49, 'a'));
  EXPECT_EQ(CutServerText(" x "), " x ");
  // Characters, not bytes: a two-byte letter is never split.
  std::string accented;
  for (int i = 0; i < 50; ++i) accented += "\xC3\xA9";
  EXPECT_EQ(CutServerText(accented), accented.substr(0, 98));
  EXPECT_EQ(TrimmedServerText(" \t127.0.0.1\r\n "), "127.0.0.1");
  EXPECT_EQ(TrimmedServerText(" \t "), "");
}

TEST(ServerDialogRules, ServerInUseTexts) {
  EXPECT_STREQ(UsingServerText(1), "Primary");
  EXPECT_STREQ(UsingServerText(2), "Secondary");
  EXPECT_STREQ(UsingServerText(0), "Error !!!");
  EXPECT_STREQ(UsingServerText(3), "Error !!!");
}

TEST(ServerDialogRules, OkWritesTheEightKeysInOrderAndMakesThePrimaryTheServerInUse) {
  AppSettings settings = testing::PollModeSettings("old.primary", "old.secondary");
  settings.UsingServer = 2;
  settings.ServerInUse = "old.secondary";
  settings.IntervalNum = "600";
  settings.IntervalUnit = "Hour(s)";
  settings.MaxCorrectionNum = "5";
  settings.MaxCorrectionUnit = "Minute(s)";
  settings.Notify_User = 1;
  FakeSettingsStore store;
  FakeMessageBoxes boxes;
  ApplyServerConfiguration(settings, store, boxes, "new.primary", "new.secondary");
  EXPECT_EQ(store.writtenKeys,
            (std::vector<std::string>{"Notify_User", "Primary_Server", "Secondary_Server",
                                      "SyncInterval", "IntervalNum", "IntervalUnit",
                                      "MaxCorrectionNum", "MaxCorrectionUnit"}));
  EXPECT_EQ(settings.SyncInterval, 2160000);
  EXPECT_EQ(settings.MaxCorrectionSeconds, 300.0);
  EXPECT_EQ(settings.ServerInUse, "new.primary");
  EXPECT_EQ(settings.UsingServer, 1);
  EXPECT_EQ(std::get<std::string>(store.values["Secondary_Server"]), "new.secondary");
}

TEST(ServerDialogRules, SyncIntervalFromTheStoredCounts) {
  const struct {
    const char* typed;
    std::string_view unit;
    int32_t seconds;
  } cases[] = {{"0", kUnitHours, 3600},
               {"5", kUnitSeconds, 15},
               {"5", kUnitMinutes, 300},
               {"601", kUnitHours, 2160000}};
  for (const auto& c : cases) {
    AppSettings settings = testing::PollModeSettings("p", "s");
    settings.IntervalUnit = std::string(c.unit);
    settings.IntervalNum = StoredIntervalCount(c.typed, c.unit);
    FakeSettingsStore store;
    FakeMessageBoxes boxes;
    ApplyServerConfiguration(settings, store, boxes, "p", "s");
    EXPECT_EQ(settings.SyncInterval, c.seconds) << c.typed << " " << c.unit;
  }
}

}  // namespace
}  // namespace quorvane
