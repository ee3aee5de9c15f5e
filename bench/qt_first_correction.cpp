// Time from process start to the first clock correction, with the real program logic on a
// virtual clock against a loopback NTP server. Prints one line of milliseconds.
#include <time.h>
#include <unistd.h>

#include <QApplication>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "app/qt/quorvane_app.h"
#include "bench_program.h"
#include "fakes/fake_clock.h"

namespace {

using Steady = std::chrono::steady_clock;

// Milliseconds since this process was started, from its start time in /proc (10 ms steps).
double MsSinceProcessStart() {
  std::ifstream in("/proc/self/stat");
  std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::istringstream fields(stat.substr(stat.rfind(')') + 2));
  std::string field;
  // Fields after the command name start at 3; the start time is field 22.
  for (int i = 3; i < 22; ++i) fields >> field;
  unsigned long long startTicks = 0;
  fields >> startTicks;
  timespec now{};
  clock_gettime(CLOCK_BOOTTIME, &now);
  const double nowMs = now.tv_sec * 1000.0 + now.tv_nsec / 1e6;
  return nowMs - startTicks * 1000.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// The virtual clock, noting when the program first corrects it.
class TimedClock : public quorvane::testing::OffsetClock {
 public:
  TimedClock() : OffsetClock(-5250) {}
  quorvane::SetClockResult ApplyCorrection(const quorvane::ClockRecord& record,
                                           quorvane::ClockOffset offset) override {
    if (setCount == 0) {
      sinceProcessStartMs = MsSinceProcessStart();
      sinceMainMs = std::chrono::duration<double, std::milli>(Steady::now() - mainEntered).count();
      QMetaObject::invokeMethod(
          qApp, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
    }
    return OffsetClock::ApplyCorrection(record, offset);
  }
  Steady::time_point mainEntered;
  double sinceProcessStartMs = -1;
  double sinceMainMs = -1;
};

}  // namespace

int main(int argc, char** argv) {
  TimedClock clock;
  clock.mainEntered = Steady::now();
  QApplication application(argc, argv);
  BenchProgram program("Primary_Server=127.0.0.1\nSecondary_Server=127.0.0.1\nLogToFile=0\n",
                       "quorvane-first-correction");
  if (!program.Ready()) return 2;
  {
    quorvane::CQuorvaneapp app(1, argv, program.Setup(clock));
    QTimer::singleShot(10000, [] { QCoreApplication::exit(1); });
    if (app.Run() != 0 || clock.setCount == 0) {
      std::fprintf(stderr, "no correction within 10 s: is an NTP server on 127.0.0.1:123?\n");
      return 1;
    }
  }
  std::printf("%.1f %.1f %lld\n", clock.sinceProcessStartMs, clock.sinceMainMs,
              static_cast<long long>(clock.OffsetMs()));
  return 0;
}
