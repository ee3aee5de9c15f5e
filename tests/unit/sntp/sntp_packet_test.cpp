#include "sntp/sntp_packet.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace quorvane {
namespace {

constexpr double X = 3454321000.0;

SntpPacket ReplyWith(const uint8_t (&receive)[8], const uint8_t (&transmit)[8]) {
  SntpPacket p;
  std::memcpy(p.bytes.data() + 32, receive, 8);
  std::memcpy(p.bytes.data() + 40, transmit, 8);
  return p;
}

TEST(SntpPacketTest, RequestIsVersionOneClientModeZeroesAndItsNonce) {
  const RequestNonce nonce = NewRequestNonce();
  const SntpPacket r = BuildRequest(nonce);
  EXPECT_EQ(r.bytes[0], 0x0B);
  for (size_t i = 1; i < 40; ++i) EXPECT_EQ(r.bytes[i], 0) << i;
  EXPECT_TRUE(std::equal(nonce.begin(), nonce.end(), r.bytes.begin() + 40));
  // 64 bits from the kernel: two draws that agree would be a broken source.
  EXPECT_NE(NewRequestNonce(), nonce);
}

TEST(SntpPacketTest, DecodesTimestampsAsUnsigned) {
  const uint8_t receive[8] = {0xCD, 0xE4, 0xC1, 0x68, 0xE0, 0x00, 0x00, 0x00};
  const uint8_t transmit[8] = {0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00};
  const SntpPacket p = ReplyWith(receive, transmit);
  EXPECT_EQ(ReceiveTimestamp(p), 3454321000.875);
  EXPECT_EQ(TransmitTimestamp(p), 4294967295.0);
}

TEST(SntpPacketTest, SecondsWordWithItsTopBitClearIsInTheNextEra) {
  struct Case {
    uint8_t seconds[4];
    ClockRecord record;  // TZ=UTC in the test environment
  } const cases[] = {
      {{0xFF, 0xFF, 0xFF, 0xFF}, {2036, 2, 4, 7, 6, 28, 15, 0}},  // last second of era 0
      {{0x00, 0x00, 0x00, 0x00}, {2036, 2, 4, 7, 6, 28, 16, 0}},  // first of era 1
      {{0x07, 0x54, 0xFD, 0x00}, {2040, 1, 0, 1, 0, 0, 0, 0}},
      {{0xCD, 0xE4, 0xC1, 0x68}, {2009, 6, 4, 18, 13, 36, 40, 0}},  // era 0 as before
  };
  for (const Case& c : cases) {
    const uint8_t stamp[8] = {c.seconds[0], c.seconds[1], c.seconds[2], c.seconds[3], 0, 0, 0, 0};
    const NtpSeconds t = TransmitTimestamp(ReplyWith(stamp, stamp));
    EXPECT_EQ(MakeClockRecord(t, 0).record, c.record) << t;
  }
}

TEST(SntpPacketTest, PollExchangeGivesOffsetTravelAndRecord) {
  const double t1 = X + 0.125, t2 = X + 0.875, t3 = X + 0.9375, t4 = X + 0.25;
  const ClockOffset offset = ComputeOffset(1, t1, t2, t3, t4);
  EXPECT_EQ(offset, 0.71875);
  const TravelTimes travel = ComputeTravelTimes(t1, t2, t3, t4);
  EXPECT_EQ(travel.request, 0.75);
  EXPECT_EQ(travel.serverProcessing, 0.0625);
  EXPECT_EQ(travel.response, -0.6875);
  const CorrectedInstant c = MakeClockRecord(t4, offset);  // TZ=UTC in the test environment
  EXPECT_EQ(c.wholeSeconds, 3454321000);
  EXPECT_EQ(c.unixTime, 1245332200);
  const ClockRecord expected{2009, 6, 4, 18, 13, 36, 40, 968};
  EXPECT_EQ(c.record, expected);
}

TEST(SntpPacketTest, ListenModeUsesTransmitMinusArrival) {
  EXPECT_EQ(ComputeOffset(2, 0, 0, X + 0.9375, X + 0.25), 0.6875);
  EXPECT_EQ(ComputeOffset(2, 12345, 99999, X + 1, X), 1.0);  // T1 and T2 play no part
}

TEST(SntpPacketTest, ZeroTimestampsAreInvalidData) {
  const double t4 = X + 0.25;
  // Poll mode, answered within 2 seconds: the offset cancels the arrival time.
  const double t1 = t4 - 1.5;
  EXPECT_EQ(MakeClockRecord(t4, ComputeOffset(1, t1, 0, 0, t4)).wholeSeconds, 0);
  EXPECT_EQ(MakeClockRecord(t4, ComputeOffset(2, 0, 0, 0, t4)).wholeSeconds, 0);
}

TEST(SntpPacketTest, UnconvertibleTimesGiveTheRefusedRecord) {
  // Before 1970 (U < 0), and NaN/huge offsets from hostile data.
  const CorrectedInstant before = MakeClockRecord(X, -(X - 100.5));
  EXPECT_EQ(before.wholeSeconds, 100);
  EXPECT_LT(before.unixTime, 0);
  EXPECT_EQ(before.record.hour, 65535);
  EXPECT_EQ(before.record.year, 0);
  EXPECT_EQ(before.record.minute, 65535);
  EXPECT_EQ(before.record.second, 65535);
  EXPECT_EQ(MakeClockRecord(X, NAN).wholeSeconds, 0);
  EXPECT_EQ(MakeClockRecord(X, 1e300).wholeSeconds, 0);
}

TEST(SntpPacketTest, ClockRecordRoundTripsToUnixMilliseconds) {
  const CorrectedInstant c = MakeClockRecord(X + 0.25, 0.71875);
  int64_t ms = 0;
  ASSERT_TRUE(ClockRecordToUnixMilliseconds(c.record, ms));
  EXPECT_EQ(ms, int64_t{1245332200} * 1000 + 968);
  ClockRecord bad = c.record;
  bad.hour = 65535;
  EXPECT_FALSE(ClockRecordToUnixMilliseconds(bad, ms));
  EXPECT_EQ(NtpSecondsFromUnix(1245332200, 500), X + 0.5);
}

}  // namespace
}  // namespace quorvane
