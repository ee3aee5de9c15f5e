#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "base/app_settings.h"
#include "fakes/fake_clock.h"
#include "fakes/fake_engine_ui.h"
#include "fakes/fake_message_boxes.h"
#include "fakes/fake_worker.h"
#include "platform/linux/posix_udp_socket.h"
#include "sntp/sntp_engine.h"
#include "sntp/watchdog.h"
#include "support/poll_loop.h"

// The engine's connect step on the real socket, with the host-name lookup replaced so
// that no name server is ever asked.

namespace quorvane {
namespace {

struct LookupCase {
  const char* name;
  int64_t lookupMs;                 // how long the lookup takes on the engine's clock
  std::optional<uint32_t> address;  // its answer
  std::vector<std::string> boxes;   // texts shown
  std::string lastStatus;           // pane 0 at the end
  std::string serverAfter;          // ServerInUse at the end
};

TEST(EngineOverPosixSocket, ConnectStepWithSlowOrFailedLookups) {
  const LookupCase cases[] = {
      {"lookup fails",
       0,
       std::nullopt,
       {"An error has occurred upon Connect():\n The socket has not been bound with Bind."},
       "Connecting to SNTP Server...",
       "primary.test"},
      {"lookup takes 11 s",
       11000,
       htonl(INADDR_LOOPBACK),
       {},
       "Reset: The attempt to connect timed out.",
       "secondary.test"},
      {"failed lookup takes 11 s",
       11000,
       std::nullopt,
       {},
       "Reset: The attempt to connect timed out.",
       "secondary.test"},
  };
  for (const LookupCase& c : cases) {
    SCOPED_TRACE(c.name);
    testing::PollLoop loop;
    testing::FakeClock clock;
    std::vector<std::string> asked;
    PosixSocketFactory sockets(loop, [&](const std::string& host) {
      asked.push_back(host);
      clock.AdvanceMs(c.lookupMs);
      return c.address;
    });
    AppSettings settings;
    settings.Primary_Server = settings.ServerInUse = "primary.test";
    settings.Secondary_Server = "secondary.test";
    settings.UsingServer = 1;
    settings.Socket_Mode = kPollMode;
    testing::FakeEngineUi ui;
    testing::FakeMessageBoxes boxes;
    BoxGate gate(boxes);
    testing::RecordingSyncLog log;
    testing::CountingWorkerLink link;
    Watchdog watchdog(link);
    {
      SntpEngine engine(EnginePorts{settings, ui, gate, sockets, clock, log, watchdog});
      engine.StartQuery();
      loop.RunPending();  // a connect notification, if one was queued, arrives now
      EXPECT_EQ(asked, std::vector<std::string>{"primary.test"});
      EXPECT_EQ(boxes.Texts(), c.boxes);
      EXPECT_EQ(ui.pane0, c.lastStatus);
      EXPECT_EQ(settings.ServerInUse, c.serverAfter);
    }
    EXPECT_EQ(loop.WatchCount(), 0u) << "a socket was left open";
    watchdog.Stop([] {}, std::chrono::milliseconds(2000));
  }
}

}  // namespace
}  // namespace quorvane
