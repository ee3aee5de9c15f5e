#include <gtest/gtest.h>

#include "nts/extension_fields.h"

namespace quorvane::nts {
namespace {

TEST(ExtensionFields, BodiesArePaddedToFourAndFieldsToSixteen) {
  const struct {
    size_t body;
    size_t field;
  } cases[] = {{0, 16}, {5, 16}, {12, 16}, {13, 20}, {32, 36}, {103, 108}};
  for (const auto& c : cases) {
    std::vector<uint8_t> out;
    AppendField(out, FieldType::NtsCookie, std::vector<uint8_t>(c.body, 0xab));
    ASSERT_EQ(out.size(), c.field) << c.body;
    EXPECT_EQ(out[0], 0x02);
    EXPECT_EQ(out[1], 0x04);
    EXPECT_EQ((out[2] << 8) | out[3], static_cast<int>(c.field));
    const auto fields = SplitFields(out, 0);
    ASSERT_TRUE(fields);
    ASSERT_EQ(fields->size(), 1u);
    EXPECT_EQ((*fields)[0].body.size(), c.field - kFieldHeader);
  }
}

TEST(ExtensionFields, SplitKeepsEachFieldsOffset) {
  std::vector<uint8_t> packet(kNtpHeaderSize, 0);
  AppendField(packet, FieldType::UniqueIdentifier, std::vector<uint8_t>(32, 1));
  AppendField(packet, FieldType::CookiePlaceholder, std::vector<uint8_t>(4, 0));
  const auto fields = SplitFields(packet, kNtpHeaderSize);
  ASSERT_TRUE(fields);
  ASSERT_EQ(fields->size(), 2u);
  EXPECT_EQ((*fields)[0].offset, 48u);
  EXPECT_EQ((*fields)[1].offset, 84u);
  EXPECT_EQ((*fields)[1].type, static_cast<uint16_t>(FieldType::CookiePlaceholder));
}

TEST(ExtensionFields, LengthsThatDoNotTileTheBufferAreRefused) {
  const std::vector<std::vector<uint8_t>> cases{
      {0x01, 0x04, 0x00},                          // header cut short
      {0x01, 0x04, 0x00, 0x00},                    // zero length would never advance
      {0x01, 0x04, 0x00, 0x06, 0, 0},              // not a multiple of 4
      {0x01, 0x04, 0x00, 0x10, 0, 0, 0, 0},        // runs past the end
      {0x01, 0x04, 0x00, 0x04, 0x02, 0x04, 0x00},  // second header cut short
  };
  for (const auto& bytes : cases) EXPECT_FALSE(SplitFields(bytes, 0)) << bytes.size();
}

TEST(ExtensionFields, AuthenticatorRoundTripsWithPadding) {
  const std::vector<uint8_t> nonce(18, 7), ciphertext(21, 9);
  const auto body = EncodeAuthenticator(nonce, ciphertext);
  EXPECT_EQ(body.size(), 4u + 20 + 24);
  const auto decoded = DecodeAuthenticator(body);
  ASSERT_TRUE(decoded);
  EXPECT_TRUE(std::ranges::equal(decoded->nonce, nonce));
  EXPECT_TRUE(std::ranges::equal(decoded->ciphertext, ciphertext));
}

TEST(ExtensionFields, AuthenticatorWithShortNonceOrOverlongLengthsIsRefused) {
  auto shortNonce = EncodeAuthenticator(std::vector<uint8_t>(12, 1), std::vector<uint8_t>(16, 2));
  EXPECT_FALSE(DecodeAuthenticator(shortNonce));
  auto overlong = EncodeAuthenticator(std::vector<uint8_t>(16, 1), std::vector<uint8_t>(16, 2));
  overlong[3] = 17;
  EXPECT_FALSE(DecodeAuthenticator(overlong));
  EXPECT_FALSE(DecodeAuthenticator(std::vector<uint8_t>{0, 16}));
}

}  // namespace
}  // namespace quorvane::nts
