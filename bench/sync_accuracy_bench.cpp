// Sync accuracy against the loopback NTP server: each run starts a virtual clock a few
// seconds off, syncs once, and measures how far the virtual clock then is from the real
// clock (which the loopback server serves). Needs chrony on 127.0.0.1:123
// (tests/support/chrony.sh start DIR).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "support/loopback_rig.h"

namespace quorvane {
namespace {

void BM_SyncAccuracy(benchmark::State& state) {
  constexpr int kSyncs = 20;
  std::vector<double> errors;
  for (auto _ : state) {
    errors.clear();
    for (int i = 0; i < kSyncs; ++i) {
      // Offsets from -5.25 s to +4.75 s, both directions.
      testing::LoopbackRig rig(-5250 + i * 500);
      rig.settings.LogToFile = 0;
      rig.engine.StartSync();
      if (!rig.RunUntil([&] { return rig.clock.setCount > 0; }, std::chrono::seconds(5))) {
        state.SkipWithError("no answer from the loopback server");
        return;
      }
      errors.push_back(static_cast<double>(std::llabs(rig.ClockErrorMs())));
    }
  }
  std::sort(errors.begin(), errors.end());
  state.counters["median_ms"] = (errors[kSyncs / 2 - 1] + errors[kSyncs / 2]) / 2;
  state.counters["worst_ms"] = errors.back();
  state.counters["syncs"] = kSyncs;
}
BENCHMARK(BM_SyncAccuracy)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quorvane

BENCHMARK_MAIN();
