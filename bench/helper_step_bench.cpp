// The time the helper adds between the decision to correct and the step. Each sync starts a
// virtual clock a few seconds off and syncs once against the loopback NTP server; the time
// runs from the engine's call of its clock port (ApplyCorrection) to the step itself, made
// either by a helper process through the helper client and its socket pair, or, for
// comparison, by the same operations called in this process. The virtual clock lives in a
// shared file, so the real clock is never touched. Idle, and with both cores kept busy.
// Needs chrony on 127.0.0.1:123 (tests/support/chrony.sh start DIR).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "cpu_load.h"
#include "helper/linux/helper_client.h"
#include "helper/linux/helper_clock.h"
#include "support/loopback_rig.h"
#include "support/shared_virtual_clock.h"
#include "support/temp_dir.h"

namespace quorvane {
namespace {

constexpr int kSyncs = 50;

// The engine's clock, stamping when the engine decides to correct and when the call returns.
class StampedClock : public Clock {
 public:
  explicit StampedClock(Clock& inner) : inner_(inner) {}
  int64_t decidedNs = 0;
  int64_t returnedNs = 0;

  NtpSeconds ReadLocalClock() override { return inner_.ReadLocalClock(); }
  NtpSeconds FromSystemTime(int64_t ns) override { return inner_.FromSystemTime(ns); }
  int64_t WallSeconds() override { return inner_.WallSeconds(); }
  SetClockResult ApplyCorrection(const ClockRecord& record, ClockOffset offset) override {
    decidedNs = testing::MonotonicNs();
    SetClockResult result = inner_.ApplyCorrection(record, offset);
    returnedNs = testing::MonotonicNs();
    return result;
  }
  bool EnableClockPrivilege() override { return inner_.EnableClockPrivilege(); }
  void RestoreClockPrivilege() override { inner_.RestoreClockPrivilege(); }

 private:
  Clock& inner_;
};

struct Timings {
  std::vector<double> stepUs;    // decision to step
  std::vector<double> returnUs;  // decision to the answer back in the engine
  // |virtual - real| after the sync: its error, as the server tells the real time. A step
  // by an offset lands where it would have landed however late it is made.
  std::vector<double> residualUs;
};

// `count` syncs with the step made by `operations`, each from a virtual clock between 4 s
// behind and 4 s ahead. False when a sync did not step, or the step came from the wrong process.
bool Sync(PrivilegedHelper& operations, bool inProcess, testing::SharedVirtualClock& shared,
          int count, Timings& timings) {
  testing::VirtualClockReader reader(shared.state());
  HelperClock helperClock(operations, reader);
  StampedClock clock(helperClock);
  for (int i = 0; i < count; ++i) {
    shared.Reset(-4000 + (i * 163) % 8000);
    testing::LoopbackRig rig(0, &clock);
    rig.settings.LogToFile = 0;
    clock.returnedNs = 0;
    rig.engine.StartSync();
    const auto stepped = [&] { return shared.state().steps > 0 && clock.returnedNs != 0; };
    if (!rig.RunUntil(stepped, std::chrono::seconds(5))) return false;
    if ((shared.state().lastStepPid == getpid()) != inProcess) return false;
    timings.stepUs.push_back((shared.state().lastStepMonotonicNs - clock.decidedNs) / 1e3);
    timings.returnUs.push_back((clock.returnedNs - clock.decidedNs) / 1e3);
    timings.residualUs.push_back(std::abs(shared.state().offsetNs.load()) / 1e3);
  }
  return true;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

double Worst(const std::vector<double>& v) { return *std::max_element(v.begin(), v.end()); }

// The value 90 % of the syncs stay within: what a worst case from one late wake-up hides.
double Ninetieth(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[(v.size() * 9 + 9) / 10 - 1];
}

void MeasureSteps(benchmark::State& state, unsigned loadThreads) {
  testing::TempDir dir;
  const std::string file = dir.path() + "/virtual-clock";
  testing::SharedVirtualClock shared(file, true);
  Timings first, helper, inProcess;
  for (auto _ : state) {
    CpuLoad load(loadThreads);
    // The first request also starts the helper, as the program's first correction does.
    HelperClient client(testing::VirtualClockHelperCommand(QUORVANE_VIRTUAL_CLOCK_HELPER, file));
    testing::VirtualClockOperations local(shared.state());
    if (!Sync(client, false, shared, 1, first) || !Sync(client, false, shared, kSyncs, helper) ||
        !Sync(local, true, shared, kSyncs, inProcess)) {
      state.SkipWithError("a sync did not step: is the loopback server running?");
      return;
    }
  }
  state.counters["helper_median_us"] = Median(helper.stepUs);
  state.counters["helper_p90_us"] = Ninetieth(helper.stepUs);
  state.counters["helper_worst_us"] = Worst(helper.stepUs);
  state.counters["in_process_median_us"] = Median(inProcess.stepUs);
  state.counters["in_process_worst_us"] = Worst(inProcess.stepUs);
  state.counters["added_median_us"] = Median(helper.stepUs) - Median(inProcess.stepUs);
  state.counters["helper_answer_median_us"] = Median(helper.returnUs);
  state.counters["helper_answer_worst_us"] = Worst(helper.returnUs);
  state.counters["helper_residual_median_us"] = Median(helper.residualUs);
  state.counters["helper_residual_worst_us"] = Worst(helper.residualUs);
  state.counters["in_process_residual_median_us"] = Median(inProcess.residualUs);
  state.counters["in_process_residual_worst_us"] = Worst(inProcess.residualUs);
  state.counters["first_step_with_start_us"] = first.stepUs.front();
  state.counters["syncs"] = kSyncs;
}

void BM_HelperStepIdle(benchmark::State& state) { MeasureSteps(state, 0); }
void BM_HelperStepBothCoresBusy(benchmark::State& state) {
  MeasureSteps(state, std::max(2u, std::thread::hardware_concurrency()));
}
BENCHMARK(BM_HelperStepIdle)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HelperStepBothCoresBusy)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quorvane

BENCHMARK_MAIN();
