#include "support/loopback_rig.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "support/settings_fixtures.h"

namespace quorvane::testing {

void PumpedWorkerLink::Pump() {
  std::deque<std::packaged_task<void()>> now;
  {
    std::lock_guard lock(mutex_);
    now.swap(queue_);
  }
  for (auto& task : now) task();
}

void PumpedWorkerLink::Send(const std::function<void()>& work) {
  std::packaged_task<void()> task([work] {
    if (work) work();
  });
  auto done = task.get_future();
  {
    std::lock_guard lock(mutex_);
    queue_.push_back(std::move(task));
  }
  done.wait();
}

namespace {

// As a server does: the request's transmit timestamp becomes the reply's originate, unless
// the script wrote one of its own.
void EchoOriginate(const std::vector<uint8_t>& request, std::vector<uint8_t>& answer) {
  const bool noOriginate =
      answer.size() >= 32 &&
      std::all_of(answer.begin() + 24, answer.begin() + 32, [](uint8_t b) { return b == 0; });
  if (noOriginate && request.size() >= 48) {
    std::copy_n(request.begin() + 40, 8, answer.begin() + 24);
  }
}

}  // namespace

ScriptedServer::ScriptedServer(const char* address, uint16_t port, Responder responder)
    : ScriptedServer(address, port, [responder](int n, const std::vector<uint8_t>& request) {
        std::vector<uint8_t> answer = responder ? responder(n) : std::vector<uint8_t>{};
        if (answer.empty()) return std::vector<TimedAnswer>{};
        EchoOriginate(request, answer);
        return std::vector<TimedAnswer>{
            {std::chrono::milliseconds(0), [answer] { return answer; }}};
      }) {}

ScriptedServer::ScriptedServer(const char* address, uint16_t port, RequestResponder responder)
    : responder_(std::move(responder)) {
  fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(port);
  inet_pton(AF_INET, address, &sa.sin_addr);
  if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
    throw std::runtime_error("cannot bind the scripted server");
  }
  timeval tv{0, 50000};
  setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  thread_ = std::thread([this] {
    std::vector<uint8_t> buffer(512);
    while (!stop_) {
      sockaddr_in from{};
      socklen_t fromLength = sizeof from;
      const ssize_t length = ::recvfrom(fd_, buffer.data(), buffer.size(), 0,
                                        reinterpret_cast<sockaddr*>(&from), &fromLength);
      if (length < 0) continue;
      const auto arrived = std::chrono::steady_clock::now();
      const int n = received_++;
      const std::vector<uint8_t> request(buffer.begin(), buffer.begin() + length);
      for (const TimedAnswer& answer : responder_(n, request)) {
        std::this_thread::sleep_until(arrived + answer.after);
        const std::vector<uint8_t> bytes = answer.make();
        ::sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&from),
                 fromLength);
      }
    }
  });
}

ScriptedServer::~ScriptedServer() {
  stop_ = true;
  thread_.join();
  ::close(fd_);
}

std::vector<uint8_t> RealTimeReply(uint8_t livnMode, uint8_t stratum) {
  const int64_t ns = OffsetClock::RealUnixNs();
  const auto seconds = static_cast<uint32_t>(ns / 1'000'000'000 + kNtpToUnixSeconds);
  const auto fraction = static_cast<uint32_t>((ns % 1'000'000'000) * 4294967296 / 1'000'000'000);
  std::vector<uint8_t> reply(48, 0);
  reply[0] = livnMode;
  reply[1] = stratum;
  for (const size_t at : {size_t{32}, size_t{40}}) {  // receive and transmit stamps
    for (int i = 0; i < 4; ++i) {
      reply[at + i] = static_cast<uint8_t>(seconds >> (24 - 8 * i));
      reply[at + 4 + i] = static_cast<uint8_t>(fraction >> (24 - 8 * i));
    }
  }
  return reply;
}

LoopbackRig::LoopbackRig(int64_t clockOffsetMs, Clock* engineClock)
    : clock(clockOffsetMs), engineClock(engineClock ? *engineClock : clock) {
  char pattern[] = "/tmp/quorvane-itest-XXXXXX";
  if (mkdtemp(pattern) == nullptr) throw std::runtime_error("mkdtemp");
  dir = pattern;
  settings = PollModeSettings("127.0.0.1", "127.0.0.1");
  settings.Broadcast_Timeout = 1;
  settings.Broadcast_Timeout_Unit = "Hour(s)";
  settings.ProgramDirectory = dir.string() + "/";
  settings.LogFilePath = settings.ProgramDirectory + "Quorvane.txt";
  link.onStep = [this] { engine.OnWatchdogStep(); };
  link.onReset = [this] { ui.ResetProgress(); };
}

LoopbackRig::~LoopbackRig() {
  watchdog.Stop([this] { link.Pump(); }, std::chrono::milliseconds(11000));
  engine.DiscardSocket();
  std::error_code ignored;
  std::filesystem::remove_all(dir, ignored);
}

bool LoopbackRig::RunUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    loop.RunFor(std::chrono::milliseconds(2));
    link.Pump();
  }
  return true;
}

int64_t LoopbackRig::ClockErrorMs() const { return clock.OffsetMs(); }

std::string LoopbackRig::ReadLog() const {
  std::ifstream in(settings.LogFilePath, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace quorvane::testing
