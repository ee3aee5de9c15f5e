#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <cstdlib>
#include <string>
#include <vector>

#include "fakes/fake_settings_store.h"
#include "server_config/qt/time_base_dialog.h"
#include "support/loopback_rig.h"

// Server tests from the dialog against the loopback chrony, with a virtual clock 5 s behind.
namespace quorvane::testing {
namespace {

using namespace std::chrono_literals;

constexpr int64_t kBehindMs = -5000;

struct ChronyDialog {
  LoopbackRig rig{kBehindMs};
  PosixListFileOps files;
  FakeSettingsStore store;
  CTimeBaseDialog dialog{rig.settings.Primary_Server, rig.settings.Secondary_Server,
                         ServerDialogPorts{rig.settings, store, rig.engine, rig.boxes, files}};
  ChronyDialog() {
    rig.engine.SetServerDialogOpen(true);
    rig.ui.onTestSucceeded = [this] { dialog.TestSucceeded(); };
    rig.ui.onTestFailed = [this] { dialog.TestFailed(); };
    rig.boxes.shown.clear();  // the missing list file
  }
  std::string Text(const char* name) {
    return dialog.findChild<QLineEdit*>(name)->text().toStdString();
  }
  double Number(const char* name) { return std::atof(Text(name).c_str()); }
};

TEST(ServerTestChrony, PrimaryShowsTheThreeTravelTimes) {
  ChronyDialog d;
  d.dialog.findChild<QLineEdit*>("primaryServerEdit")->setText("127.0.0.1");
  d.dialog.findChild<QPushButton*>("testPrimaryButton")->click();
  ASSERT_TRUE(d.rig.RunUntil([&] { return d.Text("primaryStatusField") != "Testing ..."; }, 5s));
  EXPECT_EQ(d.Text("primaryStatusField"), "Succeeded");
  const double request = d.Number("primaryRequestField");
  const double processing = d.Number("primaryProcessingField");
  const double response = d.Number("primaryResponseField");
  EXPECT_NEAR(request, 5.0, 0.05);
  EXPECT_GE(processing, 0.0);
  EXPECT_LT(processing, 0.01);
  EXPECT_NEAR(response, -5.0, 0.05);
  // Together they are the round trip: small on loopback.
  const double roundTrip = request + processing + response;
  EXPECT_GT(roundTrip, 0.0);
  EXPECT_LT(roundTrip, 0.05);
  EXPECT_EQ(d.rig.clock.setCount, 0);  // a test without a pending sync sets nothing
  std::printf("request %s processing %s response %s\n", d.Text("primaryRequestField").c_str(),
              d.Text("primaryProcessingField").c_str(), d.Text("primaryResponseField").c_str());
}

// The test works the same over IPv6: both forms of the address and, in a namespace that has
// one (QUORVANE_AAAA_ONLY_NAME), a name with only an IPv6 address.
TEST(ServerTestChrony, Ipv6PrimarySucceeds) {
  std::vector<std::string> servers{"::1", "[::1]"};
  if (const char* name = std::getenv("QUORVANE_AAAA_ONLY_NAME")) servers.emplace_back(name);
  for (const std::string& server : servers) {
    SCOPED_TRACE(server);
    ChronyDialog d;
    d.dialog.findChild<QLineEdit*>("primaryServerEdit")->setText(QString::fromStdString(server));
    d.dialog.findChild<QPushButton*>("testPrimaryButton")->click();
    ASSERT_TRUE(d.rig.RunUntil([&] { return d.Text("primaryStatusField") != "Testing ..."; }, 5s));
    EXPECT_EQ(d.Text("primaryStatusField"), "Succeeded");
    EXPECT_NEAR(d.Number("primaryRequestField"), 5.0, 0.05);
    EXPECT_TRUE(d.rig.boxes.shown.empty()) << d.rig.boxes.shown[0].text;
  }
}

// Real time: four requests about three seconds apart before the failure.
TEST(ServerTestChrony, SilentSecondaryFailsWithoutBoxOrSwitchOver) {
  SilentServer silent("127.0.0.2", 123);
  ChronyDialog d;
  d.rig.settings.Notify_User = 1;
  d.dialog.findChild<QLineEdit*>("secondaryServerEdit")->setText("127.0.0.2");
  d.dialog.findChild<QPushButton*>("testSecondaryButton")->click();
  ASSERT_TRUE(d.rig.RunUntil([&] { return d.Text("secondaryStatusField") != "Testing ..."; }, 20s));
  EXPECT_EQ(d.Text("secondaryStatusField"), "FAILED !!!");
  EXPECT_EQ(d.Text("secondaryRequestField"), "    --------");
  EXPECT_EQ(silent.received(), 4);
  EXPECT_TRUE(d.rig.boxes.shown.empty());
  EXPECT_EQ(d.rig.settings.UsingServer, 1);
  // The engine's own texts stay out of the status bar; only the connect notice, which a
  // test shows too, may appear.
  for (const std::string& status : d.rig.ui.statuses) {
    EXPECT_EQ(status, "Connected; Awaiting Server Response...");
  }
}

}  // namespace
}  // namespace quorvane::testing
