#include "sntp/socket_error_text.h"

#include <gtest/gtest.h>

#include "fakes/fake_message_boxes.h"

namespace quorvane {
namespace {

TEST(SocketErrorTextTest, KnownCodesLeadWithABlankOthersAreUnknown) {
  EXPECT_EQ(SocketErrorText(10048), " The specified address is already in use.");
  EXPECT_EQ(SocketErrorText(10022), " The socket has not been bound with Bind.");
  EXPECT_EQ(SocketErrorText(10093),
            " A successful AfxSocketInit must occur before using this API.");
  for (int code : {0, 11001, 10000, 98, -1}) {
    EXPECT_EQ(SocketErrorText(code), "Unknown socket error.") << code;
  }
  for (int code = 10000; code < 10100; ++code) {
    const std::string_view text = SocketErrorText(code);
    EXPECT_TRUE(text == "Unknown socket error." || text.front() == ' ') << code;
  }
}

TEST(SocketErrorTextTest, ReportJoinsPrefixAndSentenceInApplicationBox) {
  testing::FakeMessageBoxes boxes;
  ReportSocketError(boxes, kBindErrorPrefix, 10048);
  ReportSocketError(boxes, kConnectErrorPrefix, 0);
  ASSERT_EQ(boxes.shown.size(), 2u);
  EXPECT_EQ(boxes.shown[0].text,
            "Bind of socket to receive broadcast.\n The specified address is already in use.");
  EXPECT_EQ(boxes.shown[0].kind, BoxKind::Application);
  EXPECT_EQ(boxes.shown[0].buttons, BoxButtons::Ok);
  EXPECT_EQ(boxes.shown[0].icon, BoxIcon::Exclamation);
  EXPECT_EQ(boxes.shown[1].text, "An error has occurred upon Connect():\nUnknown socket error.");
}

}  // namespace
}  // namespace quorvane
