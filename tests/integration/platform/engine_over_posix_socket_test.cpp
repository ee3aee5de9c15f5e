#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <atomic>
#include <future>
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
  int64_t lookupMs;                // engine clock time that passes before the answer is handled
  bool answers;                    // false: the lookup hangs, and only the tick ends the attempt
  bool finds;                      // its answer holds an address
  std::vector<std::string> boxes;  // texts shown
  std::string lastStatus;          // pane 0 at the end
  std::string serverAfter;         // ServerInUse at the end
};

TEST(EngineOverPosixSocket, ConnectStepWithSlowFailedOrHangingLookups) {
  const LookupCase cases[] = {
      {"lookup fails",
       0,
       true,
       false,
       {"An error has occurred upon Connect():\n The socket has not been bound with Bind."},
       "Connecting to SNTP Server...",
       "primary.test"},
      {"lookup takes 11 s",
       11000,
       true,
       true,
       {},
       "Reset: The attempt to connect timed out.",
       "secondary.test"},
      {"failed lookup takes 11 s",
       11000,
       true,
       false,
       {},
       "Reset: The attempt to connect timed out.",
       "secondary.test"},
      {"lookup never answers",
       11000,
       false,
       false,
       {},
       "Reset: The attempt to connect timed out.",
       "secondary.test"},
  };
  for (const LookupCase& c : cases) {
    SCOPED_TRACE(c.name);
    testing::PollLoop loop;
    testing::FakeClock clock;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::atomic<int> asked{0};
    PosixSocketFactory sockets(loop, [&c, &asked, released](const std::string& host) {
      EXPECT_EQ(host, "primary.test");
      ++asked;
      if (!c.answers) released.wait();
      std::vector<SocketAddress> found;
      if (c.finds) found.push_back(*ParseAddressText("127.0.0.1", 0));
      return found;
    });
    AppSettings settings;
    settings.Primary_Server = settings.ServerInUse = "primary.test";
    settings.Secondary_Server = "secondary.test";
    settings.UsingServer = 1;
    settings.Socket_Mode = kPollMode;
    settings.SyncInterval = 3600;  // the tick starts no new attempt
    testing::FakeEngineUi ui;
    testing::FakeMessageBoxes boxes;
    BoxGate gate(boxes);
    testing::RecordingSyncLog log;
    testing::CountingWorkerLink link;
    Watchdog watchdog(link);
    {
      SntpEngine engine(EnginePorts{settings, ui, gate, sockets, clock, log, watchdog});
      engine.MutableState().FirstPollPending = false;
      engine.StartQuery();
      EXPECT_TRUE(engine.State().LookupPending);
      // Posted answers run only inside the loop, so the clock has moved on by then.
      clock.AdvanceMs(c.lookupMs);
      if (c.answers) {
        loop.RunUntil([&] { return !engine.State().LookupPending; }, std::chrono::seconds(5));
      } else {
        engine.OnTimerTick();
      }
      loop.RunPending();  // a connect notification, if one was queued, arrives now
      if (c.answers) {
        EXPECT_EQ(asked, 1);
      }
      EXPECT_EQ(boxes.Texts(), c.boxes);
      EXPECT_EQ(ui.pane0, c.lastStatus);
      EXPECT_EQ(settings.ServerInUse, c.serverAfter);
    }
    release.set_value();  // a hanging lookup ends after its engine: its answer goes nowhere
    EXPECT_EQ(loop.WatchCount(), 0u) << "a socket was left open";
    loop.RunFor(std::chrono::milliseconds(20));
    watchdog.Stop([] {}, std::chrono::milliseconds(2000));
  }
}

}  // namespace
}  // namespace quorvane
