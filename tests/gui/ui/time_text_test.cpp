#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "ui/time_band.h"

namespace quorvane {
namespace {

class UtcZone : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* tz = std::getenv("TZ");
    saved_ = tz != nullptr ? tz : "";
    hadZone_ = tz != nullptr;
    setenv("TZ", "UTC", 1);
    tzset();
  }
  void TearDown() override {
    if (hadZone_) {
      setenv("TZ", saved_.c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
  }

 private:
  std::string saved_;
  bool hadZone_ = false;
};

TEST_F(UtcZone, BandTextOfKnownInstants) {
  const std::pair<int64_t, const char*> cases[] = {
      {1245074709, "14:05:09 June 15, 2009"},
      {1767755045, "03:04:05 January 07, 2026"},  // day below 10 keeps its zero
      {946684799, "23:59:59 December 31, 1999"},
      {0, "00:00:00 January 01, 1970"},
  };
  for (const auto& [seconds, text] : cases) EXPECT_EQ(TimeBandText(seconds), text) << seconds;
}

TEST(ColorRef, ConvertsBetweenColorrefAndRgb) {
  const std::pair<uint32_t, QColor> cases[] = {
      {0x0000C0F9, QColor(249, 192, 0)},   {0x00FF8000, QColor(0, 128, 255)},
      {0x00005555, QColor(85, 85, 0)},     {0x00000000, QColor(0, 0, 0)},
      {0x00FFFFFF, QColor(255, 255, 255)},
  };
  for (const auto& [ref, color] : cases) {
    EXPECT_EQ(ColorFromColorRef(ref), color) << std::hex << ref;
    EXPECT_EQ(ColorRefFromColor(color), ref) << std::hex << ref;
  }
  // The unused top byte of a stored value does not leak into the colour.
  EXPECT_EQ(ColorFromColorRef(0xAB0000FF), QColor(255, 0, 0));
}

}  // namespace
}  // namespace quorvane
