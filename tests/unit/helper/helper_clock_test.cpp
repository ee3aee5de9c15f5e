#include "helper/linux/helper_clock.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "fakes/fake_clock.h"
#include "fakes/fake_privileged_helper.h"

namespace quorvane {
namespace {

const ClockRecord kValidRecord{2024, 3, 5, 14, 12, 30, 45, 250};

TEST(HelperClock, ACorrectionIsOneStepOfWholeSecondsAndNanoseconds) {
  const struct {
    const char* name;
    ClockOffset offset;
    const char* step;
  } cases[] = {
      {"a quarter second ahead", 0.25, "step 0 250000000"},
      {"a quarter second back", -0.25, "step -1 750000000"},
      {"nothing", 0.0, "step 0 0"},
      {"two seconds back", -2.0, "step -2 0"},
      {"rounds up into the next second", 1.9999999999, "step 2 0"},
      {"an hour and a nanosecond", 3600.000000001, "step 3600 1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    testing::FakePrivilegedHelper helper;
    HelperClock clock(helper);
    const SetClockResult result = clock.ApplyCorrection(kValidRecord, c.offset);
    EXPECT_TRUE(result.accepted);
    EXPECT_EQ(result.errorText, "");
    EXPECT_EQ(helper.calls, std::vector<std::string>{c.step});
  }
}

TEST(HelperClock, WhatTheHelperWouldNotTakeIsRefusedUnsent) {
  const struct {
    const char* name;
    ClockRecord record;
    ClockOffset offset;
  } cases[] = {
      {"no valid time", ClockRecord{}, 0.5},
      {"not a number", kValidRecord, std::numeric_limits<double>::quiet_NaN()},
      {"infinite", kValidRecord, -std::numeric_limits<double>::infinity()},
      {"centuries", kValidRecord, 1e10},
      {"centuries back", kValidRecord, -1e10},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    testing::FakePrivilegedHelper helper;
    HelperClock clock(helper);
    const SetClockResult result = clock.ApplyCorrection(c.record, c.offset);
    EXPECT_FALSE(result.accepted);
    EXPECT_EQ(result.errorText, std::strerror(EINVAL));
    EXPECT_TRUE(helper.calls.empty());
  }
}

TEST(HelperClock, TheHelpersRefusalCarriesTheSystemsText) {
  for (const int error : {EPERM, ENOENT, EACCES, EPIPE}) {
    SCOPED_TRACE(error);
    testing::FakePrivilegedHelper helper;
    helper.error = error;
    HelperClock clock(helper);
    ASSERT_TRUE(clock.EnableClockPrivilege());
    const SetClockResult result = clock.ApplyCorrection(kValidRecord, 0.5);
    clock.RestoreClockPrivilege();
    EXPECT_FALSE(result.accepted);
    EXPECT_EQ(result.errorText, std::strerror(error));
  }
}

TEST(HelperClock, ItReadsTheClockItIsGivenAndStepsOnlyThroughTheHelper) {
  testing::FakePrivilegedHelper helper;
  testing::FakeClock reader;
  HelperClock clock(helper, reader);
  EXPECT_EQ(clock.ReadLocalClock(), reader.ReadLocalClock());
  EXPECT_EQ(clock.FromSystemTime(0), reader.ReadLocalClock());
  EXPECT_EQ(clock.WallSeconds(), reader.WallSeconds());
  EXPECT_TRUE(clock.ApplyCorrection(kValidRecord, 1.5).accepted);
  EXPECT_EQ(helper.calls, std::vector<std::string>{"step 1 500000000"});
  EXPECT_TRUE(reader.steps.empty());
}

}  // namespace
}  // namespace quorvane
