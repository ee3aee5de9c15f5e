#include <gtest/gtest.h>

#include "nts/ke_records.h"

namespace quorvane::nts {
namespace {

std::vector<uint8_t> Ids(std::initializer_list<uint16_t> ids) {
  std::vector<uint8_t> body;
  for (uint16_t id : ids) {
    body.push_back(static_cast<uint8_t>(id >> 8));
    body.push_back(static_cast<uint8_t>(id));
  }
  return body;
}

KeRecord Rec(KeRecordType type, std::vector<uint8_t> body, bool critical = true) {
  return {critical, static_cast<uint16_t>(type), std::move(body)};
}

std::vector<KeRecord> GoodAnswer() {
  return {Rec(KeRecordType::NextProtocol, Ids({0})), Rec(KeRecordType::AeadAlgorithm, Ids({15})),
          Rec(KeRecordType::NewCookie, {1, 2, 3}, false),
          Rec(KeRecordType::NewCookie, {4, 5}, false), Rec(KeRecordType::EndOfMessage, {})};
}

std::vector<uint8_t> Encode(const std::vector<KeRecord>& records) {
  std::vector<uint8_t> bytes;
  for (const auto& r : records) AppendKeRecord(bytes, r);
  return bytes;
}

TEST(KeRecords, RequestOffersNtpv4AndSivCmac256ThenEnds) {
  const std::vector<uint8_t> expected{0x80, 1, 0, 2, 0, 0, 0x80, 4, 0, 2, 0, 15, 0x80, 0, 0, 0};
  EXPECT_EQ(BuildKeRequest(), expected);
}

TEST(KeRecords, EveryPrefixOfAnAnswerIsIncompleteAndTheWholeIsComplete) {
  const auto bytes = Encode(GoodAnswer());
  for (size_t n = 0; n < bytes.size(); ++n) {
    EXPECT_EQ(SplitKeRecords(std::span(bytes).first(n)).status, KeSplitStatus::Incomplete) << n;
  }
  const KeSplit whole = SplitKeRecords(bytes);
  ASSERT_EQ(whole.status, KeSplitStatus::Complete);
  EXPECT_EQ(whole.records.size(), 5u);
  EXPECT_EQ(whole.records[2].body, (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_FALSE(whole.records[2].critical);
}

TEST(KeRecords, BytesAfterEndOrAnEndWithABodyAreMalformed) {
  auto trailing = Encode(GoodAnswer());
  trailing.push_back(0);
  EXPECT_EQ(SplitKeRecords(trailing).status, KeSplitStatus::Malformed);
  const auto endWithBody = Encode({Rec(KeRecordType::EndOfMessage, {0, 0})});
  EXPECT_EQ(SplitKeRecords(endWithBody).status, KeSplitStatus::Malformed);
}

TEST(KeRecords, GoodAnswerGrantsCookiesServerAndPort) {
  auto records = GoodAnswer();
  records.insert(records.begin() + 2, Rec(KeRecordType::Server, {'n', 't', 's', '.', 'a'}));
  records.insert(records.begin() + 2, Rec(KeRecordType::Port, Ids({4123})));
  records.insert(records.begin() + 2, Rec(KeRecordType::Warning, Ids({7}), false));
  const KeAnswer answer = InterpretKeAnswer(records);
  ASSERT_FALSE(answer.failure);
  EXPECT_EQ(answer.grant.cookies.size(), 2u);
  EXPECT_EQ(answer.grant.server, "nts.a");
  EXPECT_EQ(answer.grant.port, 4123);
  EXPECT_EQ(answer.grant.warnings, std::vector<uint16_t>{7});
}

struct BadAnswer {
  const char* name;
  size_t replaceAt;  // index in GoodAnswer(); past the end inserts before End of Message
  KeRecord record;
  NtsFailure failure;
};

class KeAnswerFailure : public testing::TestWithParam<BadAnswer> {};

TEST_P(KeAnswerFailure, GivesItsCause) {
  auto records = GoodAnswer();
  const BadAnswer& bad = GetParam();
  if (bad.replaceAt < records.size()) {
    records[bad.replaceAt] = bad.record;
  } else {
    records.insert(records.end() - 1, bad.record);
  }
  EXPECT_EQ(InterpretKeAnswer(records).failure, bad.failure);
}

INSTANTIATE_TEST_SUITE_P(
    KeRecords, KeAnswerFailure,
    testing::Values(
        BadAnswer{"ErrorRecord", 9, Rec(KeRecordType::Error, Ids({1})), NtsFailure::ServerRefused},
        BadAnswer{"OnlyOtherAead", 1, Rec(KeRecordType::AeadAlgorithm, Ids({30})),
                  NtsFailure::NoCommonAlgorithm},
        BadAnswer{"NoAeadChosen", 1, Rec(KeRecordType::AeadAlgorithm, {}),
                  NtsFailure::NoCommonAlgorithm},
        BadAnswer{"AeadMissing", 1, Rec(KeRecordType::Warning, Ids({0}), false),
                  NtsFailure::NoCommonAlgorithm},
        BadAnswer{"OtherProtocol", 0, Rec(KeRecordType::NextProtocol, Ids({1})),
                  NtsFailure::NoCommonAlgorithm},
        BadAnswer{"ProtocolTwice", 9, Rec(KeRecordType::NextProtocol, Ids({0})),
                  NtsFailure::AnswerMalformed},
        BadAnswer{"OddIdList", 1, Rec(KeRecordType::AeadAlgorithm, {0, 15, 0}),
                  NtsFailure::AnswerMalformed},
        BadAnswer{"UnknownCritical", 9, Rec(static_cast<KeRecordType>(0x4000), {}),
                  NtsFailure::AnswerMalformed},
        BadAnswer{"ShortPort", 9, Rec(KeRecordType::Port, {1}), NtsFailure::AnswerMalformed},
        BadAnswer{"ServerWithBlank", 9, Rec(KeRecordType::Server, {'a', ' ', 'b'}),
                  NtsFailure::AnswerMalformed}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(KeRecords, AnswerWithoutCookiesGrantsNothing) {
  auto records = GoodAnswer();
  records.erase(records.begin() + 2, records.begin() + 4);
  EXPECT_EQ(InterpretKeAnswer(records).failure, NtsFailure::NoCookies);
}

TEST(KeRecords, UnknownRecordWithoutCriticalBitIsIgnored) {
  auto records = GoodAnswer();
  records.insert(records.begin() + 2, Rec(static_cast<KeRecordType>(0x4000), {9}, false));
  EXPECT_FALSE(InterpretKeAnswer(records).failure);
}

}  // namespace
}  // namespace quorvane::nts
