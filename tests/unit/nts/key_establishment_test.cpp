#include <gtest/gtest.h>

#include "fakes/fake_nts_ke.h"
#include "nts/key_establishment.h"

namespace quorvane::nts {
namespace {

std::vector<uint8_t> Answer(uint16_t aead) {
  std::vector<uint8_t> bytes;
  AppendKeRecord(bytes, {true, 1, {0, 0}});
  AppendKeRecord(bytes, {true, 4, {0, static_cast<uint8_t>(aead)}});
  AppendKeRecord(bytes, {false, 5, std::vector<uint8_t>(100, 7)});
  AppendKeRecord(bytes, {false, 5, std::vector<uint8_t>(100, 8)});
  AppendKeRecord(bytes, {true, 0, {}});
  return bytes;
}

TEST(KeyEstablishment, AnswerReadByteByByteGivesCookiesAndBothKeys) {
  FakeKeScript script;
  script.answer = Answer(15);
  script.chunk = 1;
  FakeKeConnector connector(script);
  const KeResult result = EstablishKeys(connector, "ke.example", kNtsKePort, "");
  ASSERT_FALSE(result.failure);
  EXPECT_EQ(script.host, "ke.example");
  EXPECT_EQ(script.port, 4460);
  EXPECT_EQ(script.written, BuildKeRequest());
  EXPECT_EQ(result.grant.cookies.size(), 2u);
  const std::vector<std::vector<uint8_t>> contexts{{0, 0, 0, 15, 0}, {0, 0, 0, 15, 1}};
  EXPECT_EQ(script.exportContexts, contexts);
  EXPECT_NE(result.keys.c2s, result.keys.s2c);
}

TEST(KeyEstablishment, EachFailureHasItsCause) {
  const struct {
    KeConnectError connectError;
    std::vector<uint8_t> answer;
    NtsFailure failure;
  } cases[] = {
      {KeConnectError::NotReached, {}, NtsFailure::ServerNotReached},
      {KeConnectError::CertificateNotTrusted, {}, NtsFailure::CertificateNotTrusted},
      {KeConnectError::CertificateExpired, {}, NtsFailure::CertificateExpired},
      {KeConnectError::CertificateWrongHost, {}, NtsFailure::CertificateWrongHost},
      {KeConnectError::HandshakeFailed, {}, NtsFailure::HandshakeFailed},
      {KeConnectError::None, Answer(30), NtsFailure::NoCommonAlgorithm},
      {KeConnectError::None, {0x80, 1, 0, 2}, NtsFailure::AnswerMalformed},  // closed early
  };
  for (const auto& c : cases) {
    FakeKeScript script;
    script.connectError = c.connectError;
    script.answer = c.answer;
    FakeKeConnector connector(script);
    EXPECT_EQ(EstablishKeys(connector, "ke.example", kNtsKePort, "").failure, c.failure)
        << NtsStatusText(c.failure);
  }
}

}  // namespace
}  // namespace quorvane::nts
