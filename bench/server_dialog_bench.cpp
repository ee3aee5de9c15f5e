// Opening the Server Configuration dialog on a 10 000-line server list, and its OK, which
// rewrites the list. Each should stay well under 100 ms. Offscreen Qt, a scratch directory.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

#include "server_config/qt/time_base_dialog.h"
#include "support/engine_test_support.h"

namespace quorvane {
namespace {

struct Scratch {
  std::filesystem::path dir;
  testing::EngineRig engine;
  testing::FakeMessageBoxes boxes;
  testing::FakeSettingsStore store;
  PosixListFileOps files;

  Scratch() {
    char pattern[] = "/tmp/quorvane-bench-XXXXXX";
    dir = mkdtemp(pattern);
    engine.settings.ProgramDirectory = dir.string() + "/";
    std::ofstream out(dir / "Quorvane.ini", std::ios::binary);
    // Unsorted, mixed case, both lists: the dialog sorts as it fills.
    for (int i = 0; i < 10000; ++i) {
      const int n = (i * 7919) % 10000;
      out << (i % 4 == 0 ? "custom," : "standard,") << (n % 2 ? "Server" : "server") << n
          << ".example.net\r\n";
    }
  }
  ~Scratch() { std::filesystem::remove_all(dir); }
  std::unique_ptr<CTimeBaseDialog> Open() {
    return std::make_unique<CTimeBaseDialog>(
        "pool.ntp.org", "time.nist.gov",
        ServerDialogPorts{engine.settings, store, engine.engine, boxes, files});
  }
};

void BM_OpenDialogOn10000Lines(benchmark::State& state) {
  Scratch scratch;
  for (auto _ : state) {
    auto dialog = scratch.Open();
    benchmark::DoNotOptimize(dialog.get());
    state.PauseTiming();
    dialog.reset();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_OpenDialogOn10000Lines)->Unit(benchmark::kMillisecond);

void BM_OkRewrites10000Lines(benchmark::State& state) {
  Scratch scratch;
  for (auto _ : state) {
    state.PauseTiming();
    auto dialog = scratch.Open();
    state.ResumeTiming();
    dialog->accept();
    state.PauseTiming();
    dialog.reset();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_OkRewrites10000Lines)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quorvane

int main(int argc, char** argv) {
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication application(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
