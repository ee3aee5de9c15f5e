#include "ui/status_pane.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gui/ui_test_support.h"
#include "ui/menu_table.h"

namespace quorvane::testing {
namespace {

// Every status text the window shows, at its widest: the longest month, a day's correction.
std::vector<std::string> StatusTexts() {
  std::vector<std::string> texts = {
      "Socket Created.",
      "Connecting to SNTP Server...",
      "Connected; Awaiting Server Response...",
      "Reset: Socket Creation FAILED!",
      "Reset: The attempt to connect timed out.",
      "Reset: Connect FAILED. Verify Internet Link and/or Server URL/IP.",
      "SNTP Server: Response Timeout",
      "*** WinSock Receive Error! ***",
      "Reset: Invalid Data returned by SNTP Server",
      "Sync Error: Timestamp differential exceeds Maximum Correction Limit",
      "Server Timestamp: 23:59:59 September 30, 2009... Delta: -86400.000 seconds",
      "Sync @ 23:59:59... System Clock Corrected by: -86400.000 seconds",
  };
  for (const MenuItem& item : MenuTable()) {
    if (item.prompt != nullptr) texts.emplace_back(item.prompt);
  }
  return texts;
}

TEST(StatusPane, EveryStatusTextFitsBesideTheProgressBar) {
  WindowRig rig;
  CMainWindow& w = rig.Make();
  w.show();
  auto* pane = w.findChild<StatusPane*>(QStringLiteral("statusText"));
  ASSERT_NE(pane, nullptr);
  for (const std::string& text : StatusTexts()) {
    w.Ui().ShowStatus(text);
    EXPECT_FALSE(pane->Elided()) << text;
  }
}

TEST(StatusPane, ATextTooWideIsElidedInTheMiddleAndKeptWhole) {
  WindowRig rig;
  CMainWindow& w = rig.Make();
  w.show();
  auto* pane = w.findChild<StatusPane*>(QStringLiteral("statusText"));
  const std::string text =
      "Server Timestamp: 23:59:59 September 30, 2009... Delta: -123456789.000 seconds";
  w.Ui().ShowStatus(text);
  EXPECT_TRUE(pane->Elided());
  EXPECT_EQ(pane->text().toStdString(), text);  // whole, for the tooltip
  EXPECT_EQ(w.width(), 500);
}

}  // namespace
}  // namespace quorvane::testing
