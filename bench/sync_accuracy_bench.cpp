// Sync accuracy against the loopback NTP server: each sync starts a virtual clock a few
// seconds off, syncs once, and measures how far the virtual clock then is from the real
// clock (which the loopback server serves). Run idle, and with both cores kept busy by a
// bounded load that the benchmark starts and stops itself. Needs chrony on 127.0.0.1:123
// (tests/support/chrony.sh start DIR).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <thread>
#include <vector>

#include "cpu_load.h"
#include "support/loopback_rig.h"

namespace quorvane {
namespace {

constexpr int kSyncs = 50;

void MeasureSyncs(benchmark::State& state, unsigned loadThreads) {
  std::vector<double> residualsUs;
  for (auto _ : state) {
    CpuLoad load(loadThreads);
    residualsUs.clear();
    for (int i = 0; i < kSyncs; ++i) {
      // Offsets from -5.25 s to about +7 s, both directions.
      testing::LoopbackRig rig(-5250 + i * 250);
      rig.settings.LogToFile = 0;
      rig.engine.StartSync();
      if (!rig.RunUntil([&] { return rig.clock.setCount > 0; }, std::chrono::seconds(5))) {
        state.SkipWithError("no answer from the loopback server");
        return;
      }
      residualsUs.push_back(std::llabs(rig.clock.offsetNs) / 1000.0);
    }
  }
  std::sort(residualsUs.begin(), residualsUs.end());
  state.counters["median_us"] = (residualsUs[kSyncs / 2 - 1] + residualsUs[kSyncs / 2]) / 2;
  state.counters["worst_us"] = residualsUs.back();
  state.counters["syncs"] = kSyncs;
}

void BM_SyncResidualIdle(benchmark::State& state) { MeasureSyncs(state, 0); }
void BM_SyncResidualBothCoresBusy(benchmark::State& state) {
  MeasureSyncs(state, std::max(2u, std::thread::hardware_concurrency()));
}
BENCHMARK(BM_SyncResidualIdle)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SyncResidualBothCoresBusy)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quorvane

BENCHMARK_MAIN();
