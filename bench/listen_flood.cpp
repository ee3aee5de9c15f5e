// Listen mode under a flood of datagrams that cannot be a broadcast, with the real program
// logic (window, timer, engine, real socket on port 123) on a virtual clock. Run by
// bench/listen_flood.sh inside the broadcast namespaces of tests/support/listen_netns.sh.
//   listen_flood --listen QUIET_S FLOOD_S   the program; prints one report per phase
//   listen_flood --flood ADDRESS RATE SECONDS   the sender, from the broadcaster's namespace
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/qt/quorvane_app.h"
#include "bench_program.h"
#include "fakes/fake_clock.h"
#include "sntp/sntp_engine.h"
#include "support/loopback_rig.h"
#include "ui/main_window.h"

namespace {

using Steady = std::chrono::steady_clock;

// The virtual clock, noting each step and how long after the datagram's arrival it came.
class MeasuringClock : public quorvane::testing::OffsetClock {
 public:
  MeasuringClock() : OffsetClock(-3000) {}
  quorvane::NtpSeconds FromSystemTime(int64_t systemUnixNs) override {
    arrivalNs = systemUnixNs;
    return OffsetClock::FromSystemTime(systemUnixNs);
  }
  quorvane::SetClockResult ApplyCorrection(const quorvane::ClockRecord& record,
                                           quorvane::ClockOffset offset) override {
    latenciesUs.push_back((RealUnixNs() - arrivalNs) / 1000.0);
    steps.push_back(offset);
    return OffsetClock::ApplyCorrection(record, offset);
  }
  int64_t arrivalNs = 0;
  std::vector<double> latenciesUs;
  std::vector<double> steps;
};

long RssKb() {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  }
  return -1;
}

// UDP InDatagrams and RcvbufErrors of this network namespace.
std::pair<long, long> UdpCounters() {
  std::ifstream in("/proc/net/snmp");
  std::string header, values;
  while (std::getline(in, header) && std::getline(in, values)) {
    if (header.rfind("Udp:", 0) != 0) continue;
    std::istringstream v(values.substr(4));
    long inDatagrams = 0, noPorts = 0, inErrors = 0, outDatagrams = 0, rcvbuf = 0;
    v >> inDatagrams >> noPorts >> inErrors >> outDatagrams >> rcvbuf;
    return {inDatagrams, rcvbuf};
  }
  return {0, 0};
}

int Flood(const char* address, int rate, int seconds) {
  const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(123);
  inet_pton(AF_INET, address, &to.sin_addr);
  // Each kind that cannot be a broadcast, its transmit time an hour ahead.
  std::vector<std::vector<uint8_t>> kinds;
  for (const auto& [first, stratum] : {std::pair{0x23, 2}, std::pair{0x16, 2}, std::pair{0x17, 2},
                                       std::pair{0xE5, 2}, std::pair{0x25, 0}}) {
    std::vector<uint8_t> d = quorvane::testing::RealTimeReply(first, stratum);
    d[42] = static_cast<uint8_t>(d[42] + 0x0E);  // + 3584 s
    kinds.push_back(d);
  }
  const auto start = Steady::now();
  long sent = 0;
  const long total = long{rate} * seconds;
  while (sent < total) {
    const double due = std::chrono::duration<double>(Steady::now() - start).count() * rate;
    for (; sent < std::min<long>(total, static_cast<long>(due)); ++sent) {
      const auto& d = kinds[sent % kinds.size()];
      ::sendto(fd, d.data(), d.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  std::printf("flood: %ld datagrams in %.2f s\n", sent,
              std::chrono::duration<double>(Steady::now() - start).count());
  return 0;
}

struct Phase {
  const char* name = "";
  double worstLateMs = 0;
  double lastLateMs = 0;
  int ticks = 0;
  long rssStart = 0, rssEnd = 0;
  size_t stepsStart = 0;
  std::pair<long, long> udpStart;
};

void Report(const Phase& p, const MeasuringClock& clock) {
  std::vector<double> lat(clock.latenciesUs.begin() + p.stepsStart, clock.latenciesUs.end());
  double worstStep = 0;
  for (size_t i = p.stepsStart; i < clock.steps.size(); ++i) {
    if (i > 0) worstStep = std::max(worstStep, std::abs(clock.steps[i]));
  }
  std::sort(lat.begin(), lat.end());
  const auto udp = UdpCounters();
  std::printf(
      "%s: ticks %d, latest tick late by %.2f ms (worst %.2f ms); RSS %ld -> %ld kB; "
      "UDP datagrams received %ld (buffer overflows %ld); clock steps %zu, largest after the "
      "first %.6f s; arrival to step median %.0f us, worst %.0f us\n",
      p.name, p.ticks, p.lastLateMs, p.worstLateMs, p.rssStart, p.rssEnd,
      udp.first - p.udpStart.first, udp.second - p.udpStart.second, lat.size(), worstStep,
      lat.empty() ? 0.0 : lat[lat.size() / 2], lat.empty() ? 0.0 : lat.back());
}

int Listen(int argc, char** argv, int quietS, int floodS) {
  MeasuringClock clock;
  QApplication application(argc, argv);
  BenchProgram program("Socket_Mode=2\nLogToFile=0\n", "quorvane-listen-flood");
  if (!program.Ready()) return 2;
  quorvane::CQuorvaneapp app(1, argv, program.Setup(clock));
  if (!app.InitInstance()) return 2;
  auto* timer = app.MainWindow()->findChild<QTimer*>();
  Phase phases[2];
  phases[0].name = "quiet";
  phases[1].name = "flood";
  Phase* current = &phases[0];
  auto begin = [&](Phase& p) {
    current = &p;
    p.rssStart = RssKb();
    p.stepsStart = clock.steps.size();
    p.udpStart = UdpCounters();
  };
  Steady::time_point lastTick = Steady::now();
  QObject::connect(timer, &QTimer::timeout, [&] {
    const Steady::time_point now = Steady::now();
    current->lastLateMs = std::chrono::duration<double, std::milli>(now - lastTick).count() - 200;
    current->worstLateMs = std::max(current->worstLateMs, current->lastLateMs);
    ++current->ticks;
    lastTick = now;
  });
  begin(phases[0]);
  QTimer::singleShot(quietS * 1000, [&] {
    phases[0].rssEnd = RssKb();
    Report(phases[0], clock);
    begin(phases[1]);
  });
  QTimer::singleShot((quietS + floodS) * 1000, [&] {
    phases[1].rssEnd = RssKb();
    Report(phases[1], clock);
    QCoreApplication::exit(0);
  });
  QCoreApplication::exec();
  std::printf("boxes shown %zu, mode %d, virtual clock error %lld ms\n",
              program.Boxes().shown.size(), app.Settings().Socket_Mode,
              static_cast<long long>(clock.OffsetMs()));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "--flood" && argc == 5) return Flood(argv[2], std::stoi(argv[3]), std::stoi(argv[4]));
  if (mode == "--listen" && argc == 4)
    return Listen(1, argv, std::stoi(argv[2]), std::stoi(argv[3]));
  std::fprintf(stderr, "usage: listen_flood --listen QUIET_S FLOOD_S | --flood ADDRESS RATE S\n");
  return 2;
}
