#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>
#include <vector>

namespace quorvane {

// Busy threads, one a core, until the object goes (and at most for a minute), so that a
// benchmark can measure with both cores taken without leaving load behind.
class CpuLoad {
 public:
  explicit CpuLoad(unsigned threads) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    for (unsigned i = 0; i < threads; ++i) {
      workers_.emplace_back([this, end] {
        volatile uint64_t sink = 0;
        while (!stop_ && std::chrono::steady_clock::now() < end) {
          for (int k = 0; k < 100000; ++k) sink = sink + k;
        }
      });
    }
  }
  ~CpuLoad() {
    stop_ = true;
    for (auto& w : workers_) w.join();
  }
  CpuLoad(const CpuLoad&) = delete;
  CpuLoad& operator=(const CpuLoad&) = delete;

 private:
  std::atomic<bool> stop_{false};
  std::vector<std::thread> workers_;
};

}  // namespace quorvane
