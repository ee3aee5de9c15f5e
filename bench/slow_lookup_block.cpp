// How long the window's thread is blocked while the real program (CQuorvaneapp: its main
// window, engine and real socket factory, on a virtual clock) makes 20 syncs against a server
// given by name whose name server answers only after 2 s. Run by bench/slow_lookup.sh inside a
// network namespace that has such a name server and a chrony. Prints one report line.
//
// The block is measured two ways on the window's thread: the largest lateness of a 5 ms
// precise QTimer, and the largest delay of events posted to it every 5 ms from another thread.
#include <QApplication>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "app/qt/quorvane_app.h"
#include "bench_program.h"
#include "fakes/fake_clock.h"
#include "ui/main_window.h"

namespace {

using Steady = std::chrono::steady_clock;
constexpr int kSyncs = 20;
constexpr auto kProbePeriod = std::chrono::milliseconds(5);
constexpr int kLimitMs = 150000;

double MsBetween(Steady::time_point a, Steady::time_point b) {
  return std::chrono::duration<double, std::milli>(b - a).count();
}

// The virtual clock, noting when each sync steps it.
class CountingClock : public quorvane::testing::OffsetClock {
 public:
  CountingClock() : OffsetClock(-5250) {}
  quorvane::SetClockResult ApplyCorrection(const quorvane::ClockRecord& record,
                                           quorvane::ClockOffset offset) override {
    stepTimes.push_back(Steady::now());
    return OffsetClock::ApplyCorrection(record, offset);
  }
  std::vector<Steady::time_point> stepTimes;
};

// Events posted to the window's thread from a thread of its own; the largest delay seen.
class PostedProbe {
 public:
  void Start() {
    thread_ = std::thread([this] {
      while (!stop_) {
        const Steady::time_point posted = Steady::now();
        QMetaObject::invokeMethod(
            qApp,
            [this, posted] { worstMs_ = std::max(worstMs_, MsBetween(posted, Steady::now())); },
            Qt::QueuedConnection);
        std::this_thread::sleep_for(kProbePeriod);
      }
    });
  }
  void Stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
  }
  double WorstMs() const { return worstMs_; }  // read on the window's thread only

 private:
  std::thread thread_;
  std::atomic<bool> stop_{false};
  double worstMs_ = 0;
};

double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  CountingClock clock;
  QApplication application(argc, argv);
  // The first tick syncs; each further sync is the Sync button's, pressed once the last is done.
  BenchProgram program(
      "Primary_Server=time.quorvane.test\nSecondary_Server=time.quorvane.test\n"
      "SyncInterval=86400\nLogToFile=0\n",
      "quorvane-slow-lookup");
  if (!program.Ready()) return 2;
  quorvane::CQuorvaneapp app(1, argv, program.Setup(clock));
  if (!app.InitInstance()) return 2;
  auto* sync = app.MainWindow()->findChild<QPushButton*>(QStringLiteral("syncButton"));

  QTimer probeTimer;
  probeTimer.setTimerType(Qt::PreciseTimer);
  probeTimer.setInterval(kProbePeriod);
  Steady::time_point lastFired = Steady::now();
  double timerWorstMs = 0;
  QObject::connect(&probeTimer, &QTimer::timeout, [&] {
    const Steady::time_point now = Steady::now();
    timerWorstMs = std::max(timerWorstMs, MsBetween(lastFired, now) - kProbePeriod.count());
    lastFired = now;
  });
  PostedProbe posted;

  const Steady::time_point start = Steady::now();
  size_t pressedAfter = 0;  // steps seen when the button was last pressed
  QTimer driver;
  driver.setInterval(50);
  QObject::connect(&driver, &QTimer::timeout, [&] {
    if (clock.stepTimes.size() >= static_cast<size_t>(kSyncs)) {
      QCoreApplication::exit(0);
    } else if (clock.stepTimes.size() > pressedAfter && sync->isEnabled()) {
      pressedAfter = clock.stepTimes.size();
      sync->click();
    }
  });
  QTimer::singleShot(kLimitMs, [] { QCoreApplication::exit(1); });
  lastFired = Steady::now();
  probeTimer.start();
  posted.Start();
  driver.start();
  const int status = QCoreApplication::exec();
  posted.Stop();
  probeTimer.stop();
  QCoreApplication::processEvents();  // the probe's last events

  std::vector<double> perSync;
  Steady::time_point previous = start;
  for (const Steady::time_point t : clock.stepTimes) {
    perSync.push_back(MsBetween(previous, t));
    previous = t;
  }
  std::printf(
      "slow name server (answers after 2 s): %zu of %d syncs in %.1f s (median %.0f ms each), "
      "boxes %zu; window's thread blocked at most %.1f ms (posted events), timer late at most "
      "%.1f ms; aim < 20 ms\n",
      clock.stepTimes.size(), kSyncs, MsBetween(start, Steady::now()) / 1000, Median(perSync),
      program.Boxes().shown.size(), posted.WorstMs(), timerWorstMs);
  return status == 0 && clock.stepTimes.size() >= static_cast<size_t>(kSyncs) ? 0 : 1;
}
