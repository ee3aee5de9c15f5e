#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "nts/nts_socket.h"
#include "platform/linux/gnutls_ke_connector.h"
#include "platform/linux/nettle_siv_aead.h"
#include "support/loopback_rig.h"
#include "support/settings_fixtures.h"

// The real engine polling through authenticated sockets against the NTS server of
// tests/support/nts_netns.sh, on a virtual clock; the window and boxes are fakes.

namespace quorvane::nts {
namespace {

using namespace std::chrono_literals;
using quorvane::testing::OffsetClock;

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

struct NtsEngineRig {
  explicit NtsEngineRig(std::string trustFile) : trust(std::move(trustFile)) {
    char pattern[] = "/tmp/quorvane-nts-engine-XXXXXX";
    dir = mkdtemp(pattern);
    settings = quorvane::testing::PollModeSettings("localhost", "localhost");
    settings.Use_NTS = 1;
    settings.ProgramDirectory = dir.string() + "/";
    settings.LogFilePath = settings.ProgramDirectory + "Quorvane.txt";
    link.onStep = [this] { engine.OnWatchdogStep(); };
    link.onReset = [this] { ui.ResetProgress(); };
  }
  ~NtsEngineRig() {
    watchdog.Stop([this] { link.Pump(); }, 11000ms);
    engine.DiscardSocket();
    std::filesystem::remove_all(dir);
  }
  bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
      if (std::chrono::steady_clock::now() > end) return false;
      loop.RunFor(2ms);
      link.Pump();
    }
    return true;
  }
  std::string ReadLog() const {
    std::ifstream in(settings.LogFilePath, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  std::string trust;
  std::filesystem::path dir;
  AppSettings settings;
  quorvane::testing::FakeEngineUi ui;
  quorvane::testing::FakeMessageBoxes boxes;
  BoxGate gate{boxes};
  quorvane::testing::PollLoop loop;
  PosixSocketFactory plain{loop};
  NettleSivAead aead;
  NtsClient client{std::make_shared<GnutlsKeConnector>(), aead, loop, [this] { return trust; }};
  NtsSocketFactory sockets{client, plain, [] { return true; },
                           NtsSocketHooks{[this](const std::string& text) { ui.ShowStatus(text); },
                                          EngineSendLate(clock, [this](NtpSeconds t1) {
                                            // as the program's wiring does
                                            engine.MutableState().T1 =
                                                engine.MutableState().T1BeforeSend = t1;
                                          })}};
  OffsetClock clock{-5250};
  SyncLog log{settings, clock, gate};
  quorvane::testing::PumpedWorkerLink link;
  Watchdog watchdog{link};
  SntpEngine engine{EnginePorts{settings, ui, gate, sockets, clock, log, watchdog}};
};

class NtsEngine : public ::testing::Test {
 protected:
  void SetUp() override {
    if (Env("QUORVANE_NTS_TRUST").empty()) GTEST_SKIP() << "no NTS server namespace";
  }
};

TEST_F(NtsEngine, SyncSetsTheVirtualClockWithinAMillisecondAndLogsOneLine) {
  NtsEngineRig rig(Env("QUORVANE_NTS_TRUST"));
  rig.engine.StartSync();
  ASSERT_TRUE(rig.RunUntil([&] { return rig.clock.setCount > 0; }, 5s)) << rig.ui.pane0;
  EXPECT_LT(std::llabs(rig.clock.offsetNs), 1'000'000) << rig.clock.offsetNs << " ns left";
  EXPECT_TRUE(rig.ui.pane0.starts_with("Sync @ ")) << rig.ui.pane0;
  const std::regex line(R"(^\d{4}/\d\d/\d\d,\d\d:\d\d:\d\d,\+5\.2\d{5},localhost,1,H,S\r\n$)");
  const std::string log = rig.ReadLog();
  EXPECT_TRUE(std::regex_match(log, line)) << log;
}

TEST_F(NtsEngine, ServerTestSucceedsOverNts) {
  NtsEngineRig rig(Env("QUORVANE_NTS_TRUST"));
  rig.engine.SetServerDialogOpen(true);
  rig.engine.StartServerTest(1);
  ASSERT_TRUE(rig.RunUntil([&] { return rig.ui.testSucceeded + rig.ui.testFailed > 0; }, 5s));
  EXPECT_EQ(rig.ui.testSucceeded, 1);
  EXPECT_EQ(rig.clock.setCount, 0);
}

TEST_F(NtsEngine, UntrustedServerIsAFailingServerAndNeverSetsTheClock) {
  NtsEngineRig rig("");  // the test authority is not trusted
  rig.engine.StartSync();
  ASSERT_TRUE(rig.RunUntil([&] { return rig.ui.pane0 == "NTS: certificate not trusted"; }, 5s))
      << rig.ui.pane0;
  rig.RunUntil([] { return false; }, 300ms);
  EXPECT_EQ(rig.clock.setCount, 0);
  EXPECT_TRUE(rig.ReadLog().empty());
}

}  // namespace
}  // namespace quorvane::nts
