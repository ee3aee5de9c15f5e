#include "sntp/reply_rules.h"

#include <gtest/gtest.h>

namespace quorvane {
namespace {

SntpPacket Header(int leap, int version, int mode, int stratum, bool transmitZero = false) {
  SntpPacket p;
  p.bytes[0] = static_cast<uint8_t>((leap << 6) | (version << 3) | mode);
  p.bytes[1] = static_cast<uint8_t>(stratum);
  if (!transmitZero) p.bytes[47] = 1;  // any non-zero bit of the transmit stamp
  return p;
}

TEST(ReplyRules, WhichHeadersMaySetTheClock) {
  struct Case {
    int leap, version, mode, stratum;
    bool transmitZero;
    bool usable;
  } const cases[] = {
      {0, 4, 4, 1, false, true},  {1, 4, 4, 1, false, true},   // leap second announced
      {2, 4, 4, 1, false, true},  {3, 4, 4, 1, false, false},  // not synchronised
      {0, 4, 4, 0, false, false},                              // Kiss-o'-Death
      {0, 4, 4, 15, false, true}, {0, 4, 4, 2, true, false},   // transmit stamp zero
      {0, 1, 4, 2, false, true},  {0, 2, 4, 2, false, true},  {0, 3, 4, 2, false, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(
        IsUsableReply(Header(c.leap, c.version, c.mode, c.stratum, c.transmitZero), {kModeServer}),
        c.usable)
        << "LI " << c.leap << " VN " << c.version << " stratum " << c.stratum;
  }
  for (int mode = 0; mode <= 7; ++mode) {
    EXPECT_EQ(IsUsableReply(Header(0, 4, mode, 2), {kModeServer}), mode == kModeServer) << mode;
    EXPECT_EQ(IsUsableReply(Header(0, 4, mode, 2), {kModeBroadcast}), mode == kModeBroadcast)
        << mode;
  }
}

TEST(ReplyRules, HeaderFieldsAreReadFromTheFirstTwoBytes) {
  const ReplyHeader h = ReadReplyHeader(Header(3, 4, 5, 200));
  EXPECT_EQ(h.leapIndicator, 3);
  EXPECT_EQ(h.version, 4);
  EXPECT_EQ(h.mode, 5);
  EXPECT_EQ(h.stratum, 200);
}

}  // namespace
}  // namespace quorvane
