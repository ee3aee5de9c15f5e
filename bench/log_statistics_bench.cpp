// The statistics pass over a page-cached log of 1 MB and of 200 MB, and the resident memory
// after each: the pass holds one buffer, so the memory must not grow with the log.
// With "--pass FILE" it makes one pass over FILE and prints its time and resident memory,
// for bench/log_statistics.sh to set beside wc -l and awk.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "fakes/fake_message_boxes.h"
#include "logging/log_statistics.h"

namespace {

using quorvane::ReadLogStatistics;

// Resident and peak resident memory of this process, in kB.
long StatusKb(const char* field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(field, 0) == 0) return std::stol(line.substr(std::strlen(field)));
  }
  return -1;
}

// Writes entries of four sources until the file holds `bytes`, a block at a time.
std::string MakeLog(int64_t bytes) {
  const std::string path =
      "/tmp/quorvane-bench-stats-" + std::to_string(bytes) + "-" + std::to_string(::getpid());
  std::ofstream out(path, std::ios::binary);
  const char* sources[] = {"time.example.org", "ntp1.example.net", "Broadcast", "192.0.2.10"};
  std::string block;
  int64_t written = 0;
  for (int64_t i = 0; written < bytes; ++i) {
    char line[160];
    const int n =
        std::snprintf(line, sizeof line, "2009/07/04,14:%02d:%02d,%+f,%s,15,M,%c\r\n",
                      static_cast<int>(i / 60 % 60), static_cast<int>(i % 60),
                      ((i * 37) % 2001 - 1000) / 10000.0, sources[i % 4], i % 23 == 5 ? 'F' : 'S');
    block.append(line, n);
    written += n;
    if (block.size() > (1 << 20)) {
      out << block;
      block.clear();
    }
  }
  out << block;
  return path;
}

void BM_StatisticsPass(benchmark::State& state) {
  const std::string path = MakeLog(state.range(0) << 20);
  quorvane::testing::FakeMessageBoxes boxes;
  int64_t entries = 0;
  for (auto _ : state) {
    entries = ReadLogStatistics(path, boxes).stats.entryCount;
    benchmark::DoNotOptimize(entries);
  }
  state.SetBytesProcessed(state.iterations() *
                          static_cast<int64_t>(std::filesystem::file_size(path)));
  state.counters["entries"] = static_cast<double>(entries);
  state.counters["rss_kB"] = static_cast<double>(StatusKb("VmRSS:"));
  state.counters["peak_rss_kB"] = static_cast<double>(StatusKb("VmHWM:"));
  std::filesystem::remove(path);
}
BENCHMARK(BM_StatisticsPass)->Arg(1)->Arg(200)->Unit(benchmark::kMillisecond);

int OnePass(const char* path) {
  quorvane::testing::FakeMessageBoxes boxes;
  const auto start = std::chrono::steady_clock::now();
  const quorvane::LogStatisticsReport report = ReadLogStatistics(path, boxes);
  const auto end = std::chrono::steady_clock::now();
  const quorvane::LogStatisticsTexts t = quorvane::StatisticsTexts(report.stats);
  std::printf("entries %s sum-average %s max %s min %s seconds %.3f rss_kB %ld peak_rss_kB %ld\n",
              t.entryCount.c_str(), t.average.c_str(), t.largest.c_str(), t.smallest.c_str(),
              std::chrono::duration<double>(end - start).count(), StatusKb("VmRSS:"),
              StatusKb("VmHWM:"));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--pass") == 0) return OnePass(argv[2]);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
