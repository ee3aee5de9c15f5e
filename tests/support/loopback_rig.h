#pragma once

#include <atomic>
#include <chrono>
#include <deque>
#include <filesystem>
#include <functional>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/app_settings.h"
#include "fakes/fake_clock.h"
#include "fakes/fake_engine_ui.h"
#include "fakes/fake_message_boxes.h"
#include "logging/sync_log.h"
#include "platform/linux/posix_udp_socket.h"
#include "sntp/sntp_engine.h"
#include "support/poll_loop.h"

namespace quorvane::testing {

// The worker's synchronous sends, served by whoever pumps: the test thread, standing in
// for the user-interface thread.
class PumpedWorkerLink : public WorkerLink {
 public:
  std::function<void()> onStep;
  std::function<void()> onReset;
  void SendWatchdogStep() override { Send(onStep); }
  void SendResetProgress() override { Send(onReset); }
  void Pump();

 private:
  void Send(const std::function<void()>& work);
  std::mutex mutex_;
  std::deque<std::packaged_task<void()>> queue_;
};

// One datagram a scripted server sends `after` the request it answers arrived, made when it
// is sent (so that a real-time stamp in it is that moment's).
struct TimedAnswer {
  std::chrono::milliseconds after;
  std::function<std::vector<uint8_t>()> make;
};

// A UDP socket on addr:port that reads every datagram, counting them, and answers the n-th
// (from 0) with what the responder gives for it; an empty answer sends nothing. The second
// form sees each request and may answer it several times, in the order given.
class ScriptedServer {
 public:
  using Responder = std::function<std::vector<uint8_t>(int n)>;
  using RequestResponder =
      std::function<std::vector<TimedAnswer>(int n, const std::vector<uint8_t>& request)>;
  ScriptedServer(const char* address, uint16_t port, Responder responder);
  ScriptedServer(const char* address, uint16_t port, RequestResponder responder);
  ~ScriptedServer();
  int received() const { return received_; }

 private:
  RequestResponder responder_;
  int fd_ = -1;
  std::atomic<bool> stop_{false};
  std::atomic<int> received_{0};
  std::thread thread_;
};

// A server that never answers.
struct SilentServer : ScriptedServer {
  SilentServer(const char* address, uint16_t port) : ScriptedServer(address, port, Responder{}) {}
};

// A 48-byte server reply stamped with the real clock's time now; the header bytes as given.
std::vector<uint8_t> RealTimeReply(uint8_t livnMode, uint8_t stratum);

// The real engine on a real UDP socket and a real log file, with a virtual clock that is
// the real clock shifted by an offset, and fakes for the window and boxes. A test may give
// the engine and the log a clock of its own instead (`clock` is then left unused).
struct LoopbackRig {
  explicit LoopbackRig(int64_t clockOffsetMs, Clock* engineClock = nullptr);
  ~LoopbackRig();

  // Runs the loop and the worker's sends until done() or the limit; true when done.
  bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds limit);
  // Clock error against the real clock, in milliseconds.
  int64_t ClockErrorMs() const;
  std::string ReadLog() const;

  std::filesystem::path dir;
  AppSettings settings;
  FakeEngineUi ui;
  FakeMessageBoxes boxes;
  BoxGate gate{boxes};
  PollLoop loop;
  PosixSocketFactory sockets{loop};
  OffsetClock clock;
  Clock& engineClock;
  SyncLog log{settings, engineClock, gate};
  PumpedWorkerLink link;
  Watchdog watchdog{link};
  SntpEngine engine{EnginePorts{settings, ui, gate, sockets, engineClock, log, watchdog}};
};

}  // namespace quorvane::testing
