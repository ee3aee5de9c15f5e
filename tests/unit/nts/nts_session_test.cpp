#include <gtest/gtest.h>

#include <algorithm>

#include "fakes/fake_nts_aead.h"
#include "nts/extension_fields.h"
#include "nts/nts_session.h"
#include "support/nts_reply_builder.h"

namespace quorvane::nts {
namespace {

std::vector<Cookie> Cookies(size_t count, size_t size = 40) {
  std::vector<Cookie> cookies;
  for (size_t i = 0; i < count; ++i) cookies.push_back(Cookie(size, static_cast<uint8_t>(i + 1)));
  return cookies;
}

KeResult Established(size_t cookies) {
  KeResult result;
  result.keys.c2s.fill(0xc2);
  result.keys.s2c.fill(0x52);
  result.grant.cookies = Cookies(cookies);
  return result;
}

// A client session and what the server sees of its request.
class NtsSessionTest : public testing::Test {
 protected:
  void SetUp() override { session.Start("ke.example", Established(8)); }

  std::vector<uint8_t> Request() {
    const std::vector<uint8_t> header(kNtpHeaderSize, 0x23);
    return session.NextRequest(header, aead);
  }
  static std::vector<ExtensionField> Fields(const std::vector<uint8_t>& packet) {
    return SplitFields(packet, kNtpHeaderSize).value();
  }
  static std::span<const uint8_t> UniqueIdOf(const std::vector<uint8_t>& request) {
    return Fields(request).front().body;
  }
  std::vector<uint8_t> ReplyTo(const std::vector<uint8_t>& request, size_t newCookies = 1) {
    const std::vector<uint8_t> id(UniqueIdOf(request).begin(), UniqueIdOf(request).end());
    return BuildServerReply(id, Established(0).keys.s2c, Cookies(newCookies, 44), aead);
  }

  FakeNtsAead aead;
  NtsSession session;
};

TEST_F(NtsSessionTest, RequestCarriesIdCookiePlaceholdersAndAuthenticatorOverAllBefore) {
  Request();  // one cookie used and not answered: the next request asks for two back
  const auto request = Request();
  const auto fields = Fields(request);
  ASSERT_EQ(fields.size(), 4u);
  EXPECT_EQ(fields[0].type, static_cast<uint16_t>(FieldType::UniqueIdentifier));
  EXPECT_EQ(fields[0].body.size(), kUniqueIdSize);
  EXPECT_EQ(fields[1].type, static_cast<uint16_t>(FieldType::NtsCookie));
  EXPECT_TRUE(std::ranges::equal(fields[1].body, Cookies(2)[1]));
  EXPECT_EQ(fields[2].type, static_cast<uint16_t>(FieldType::CookiePlaceholder));
  EXPECT_EQ(fields[2].body.size(), 40u);
  const auto auth = DecodeAuthenticator(fields[3].body).value();
  EXPECT_TRUE(aead.Open(Established(0).keys.c2s, auth.nonce,
                        std::span(request).first(fields[3].offset), auth.ciphertext));
  EXPECT_EQ(session.CookieCount(), 6u);
}

TEST_F(NtsSessionTest, AuthenticReplyIsAcceptedAndItsCookiesRefillTheStore) {
  const auto request = Request();
  EXPECT_TRUE(session.AcceptReply(ReplyTo(request, 3), aead));
  EXPECT_EQ(session.CookieCount(), CookieStore::kMaxCookies);
}

TEST_F(NtsSessionTest, RepliesNotAuthenticForThisRequestAreRefused) {
  const struct {
    const char* name;
    void (*damage)(std::vector<uint8_t>& reply);
  } attacks[] = {
      {"authenticator bit flipped", [](auto& r) { r[r.size() - 20] ^= 0x01; }},
      {"header bit flipped", [](auto& r) { r[40] ^= 0x80; }},
      {"unique identifier differs", [](auto& r) { r[kNtpHeaderSize + 4] ^= 0xff; }},
      {"extension fields stripped", [](auto& r) { r.resize(kNtpHeaderSize); }},
      {"authenticator stripped", [](auto& r) { r.resize(kNtpHeaderSize + 4 + kUniqueIdSize); }},
      {"field length broken", [](auto& r) { r[kNtpHeaderSize + 3] = 0x22; }},
  };
  for (const auto& attack : attacks) {
    const auto request = Request();
    auto reply = ReplyTo(request);
    attack.damage(reply);
    EXPECT_FALSE(session.AcceptReply(reply, aead)) << attack.name;
  }
}

TEST_F(NtsSessionTest, ReplayedReplyIsRefused) {
  const auto first = Request();
  const auto reply = ReplyTo(first);
  ASSERT_TRUE(session.AcceptReply(reply, aead));
  EXPECT_FALSE(session.AcceptReply(reply, aead));
  Request();
  EXPECT_FALSE(session.AcceptReply(reply, aead));
}

TEST_F(NtsSessionTest, ReplySealedWithTheClientKeyIsRefused) {
  const auto request = Request();
  const std::vector<uint8_t> id(UniqueIdOf(request).begin(), UniqueIdOf(request).end());
  EXPECT_FALSE(session.AcceptReply(BuildServerReply(id, Established(0).keys.c2s, {}, aead), aead));
}

TEST_F(NtsSessionTest, CookiesOutsideTheEncryptedPartAreIgnored) {
  auto reply = ReplyTo(Request(), 0);
  AppendField(reply, FieldType::NtsCookie, Cookie(40, 0xee));
  ASSERT_TRUE(session.AcceptReply(reply, aead));
  EXPECT_EQ(session.CookieCount(), 7u);
}

TEST_F(NtsSessionTest, KeyEstablishmentIsDueOnceTheCookiesRunOut) {
  for (int i = 0; i < 8; ++i) {
    EXPECT_FALSE(session.NeedsKeyEstablishment()) << i;
    Request();
  }
  EXPECT_TRUE(session.NeedsKeyEstablishment());
}

TEST(NtsSession, SendsWhereTheKeyEstablishmentSays) {
  NtsSession session;
  EXPECT_TRUE(session.NeedsKeyEstablishment());
  KeResult named = Established(1);
  named.grant.server = "ntp.example";
  named.grant.port = 1123;
  session.Start("ke.example", named);
  EXPECT_EQ(session.NtpHost(), "ntp.example");
  EXPECT_EQ(session.NtpPort(), 1123);
  session.Start("ke.example", Established(1));
  EXPECT_EQ(session.NtpHost(), "ke.example");
  EXPECT_EQ(session.NtpPort(), 123);
}

TEST(CookieStore, KeepsTheNewestEightAndHandsOutTheOldestFirst) {
  CookieStore store;
  for (uint8_t i = 1; i <= 10; ++i) store.Add(Cookie{i});
  EXPECT_EQ(store.Size(), 8u);
  EXPECT_EQ(store.Take(), Cookie{3});
  store.Add(Cookie{});
  EXPECT_EQ(store.Size(), 7u);
}

}  // namespace
}  // namespace quorvane::nts
