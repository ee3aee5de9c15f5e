// The cost of one log entry with its limit check, on a small log and on a large one, for
// each limit type. The entry must cost the same whatever the log's size: the writer appends
// and reads only the first line, never the whole file.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

#include "base/app_settings.h"
#include "fakes/fake_clock.h"
#include "fakes/fake_message_boxes.h"
#include "logging/log_limits.h"
#include "logging/sync_log.h"

namespace {

using quorvane::AppSettings;
using quorvane::SyncLog;

constexpr int64_t kSmallLog = 1024;
constexpr int64_t kLargeLog = int64_t{200} << 20;
// The log is cut back to its starting size this often, so the small log stays small.
constexpr int64_t kEntriesBetweenCuts = 256;

struct LogFixture {
  LogFixture(int32_t limitType, int64_t size) {
    char pattern[] = "/tmp/quorvane-bench-XXXXXX";
    directory = ::mkdtemp(pattern);
    settings.Socket_Mode = quorvane::kPollMode;
    settings.ServerInUse = "192.0.2.10";
    settings.IntervalNum = "1";
    settings.IntervalUnit = "Hour(s)";
    settings.Log_Limit_Type = limitType;
    settings.Log_Size_Limit_Number = 1024;  // 1 GiB: never passed here
    settings.Log_Time_Limit_Number = 24;    // 24 months: never passed here
    settings.Log_Time_Limit_Unit = "Months";
    settings.Logs_To_Keep = 3;
    settings.LogFilePath = directory + "/Quorvane.txt";
    log.WriteLogEntry(0.012345, 'S');  // a valid, dated first line
    startSize = size;
    CutBack();
  }
  ~LogFixture() { std::filesystem::remove_all(directory); }

  // A sparse file beyond the first line: the size is real, the blocks are not.
  void CutBack() const {
    if (::truncate(settings.LogFilePath.c_str(), startSize) != 0) std::abort();
  }

  std::string directory;
  AppSettings settings;
  quorvane::testing::FakeClock clock;
  quorvane::testing::FakeMessageBoxes boxes;
  SyncLog log{settings, clock, boxes};
  int64_t startSize = 0;
};

void WriteEntry(benchmark::State& state, int32_t limitType, int64_t size) {
  LogFixture fixture(limitType, size);
  int64_t sinceCut = 0;
  for (auto _ : state) {
    fixture.log.WriteLogEntry(0.012345, 'S');
    if (++sinceCut == kEntriesBetweenCuts) {
      state.PauseTiming();
      fixture.CutBack();
      sinceCut = 0;
      state.ResumeTiming();
    }
  }
  if (!fixture.boxes.shown.empty() ||
      std::filesystem::exists(fixture.settings.LogFilePath + ".1")) {
    state.SkipWithError("the log was reported or rotated; the figures would not be comparable");
  }
}

// Keeps each benchmark's time per entry so the large/small ratios can be printed at the end.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Iteration && !run.error_occurred) {
        times_[run.benchmark_name()] = {run.GetAdjustedRealTime(), run.GetAdjustedCPUTime()};
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }
  void PrintRatios() const {
    std::printf("\nratio 200 MB / 1 KB per limit type (goal: at most 1.5)\n");
    for (const char* type : {"0", "1", "2"}) {
      const auto small = times_.find(std::string("WriteLogEntry/type:") + type + "/log:1KB");
      const auto large = times_.find(std::string("WriteLogEntry/type:") + type + "/log:200MB");
      if (small == times_.end() || large == times_.end()) continue;
      // Wall time also counts waiting for a busy machine; CPU time is the steadier figure.
      std::printf("  type %s: wall %.3f, cpu %.3f\n", type,
                  large->second.first / small->second.first,
                  large->second.second / small->second.second);
    }
  }

 private:
  std::map<std::string, std::pair<double, double>> times_;  // wall, cpu
};

}  // namespace

int main(int argc, char** argv) {
  // Local time is formatted for every entry; fix the zone so runs compare.
  ::setenv("TZ", "UTC", 1);
  for (const int32_t type :
       {quorvane::kNoLogLimit, quorvane::kLogSizeLimit, quorvane::kLogTimeLimit}) {
    for (const auto& [label, size] : {std::pair{"1KB", kSmallLog}, std::pair{"200MB", kLargeLog}}) {
      const std::string name =
          "WriteLogEntry/type:" + std::to_string(type) + "/log:" + std::string(label);
      benchmark::RegisterBenchmark(name.c_str(), WriteEntry, type, size)
          ->Unit(benchmark::kMicrosecond);
    }
  }
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  benchmark::Shutdown();
  return 0;
}
