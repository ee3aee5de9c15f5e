#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ports/nts_key_establishment.h"

namespace quorvane {

// A key-establishment server scripted by the test: the answer it streams back (`chunk`
// bytes per read), what it was sent, and keys derived from the label and context asked for.
struct FakeKeScript {
  KeConnectError connectError = KeConnectError::None;
  std::vector<uint8_t> answer;
  size_t chunk = 4096;
  std::vector<uint8_t> written;
  std::vector<std::vector<uint8_t>> exportContexts;
  std::string host;
  uint16_t port = 0;
};

class FakeKeChannel : public NtsKeChannel {
 public:
  explicit FakeKeChannel(FakeKeScript& script) : script_(script) {}
  bool Write(std::span<const uint8_t> bytes) override {
    script_.written.insert(script_.written.end(), bytes.begin(), bytes.end());
    return true;
  }
  int Read(std::span<uint8_t> buffer) override {
    const size_t n = std::min({buffer.size(), script_.chunk, script_.answer.size() - sent_});
    std::copy_n(script_.answer.begin() + sent_, n, buffer.begin());
    sent_ += n;
    return static_cast<int>(n);
  }
  bool ExportKey(std::string_view label, std::span<const uint8_t> context,
                 std::span<uint8_t> out) override {
    script_.exportContexts.emplace_back(context.begin(), context.end());
    for (size_t i = 0; i < out.size(); ++i) {
      out[i] = static_cast<uint8_t>(label.size() + context.back() * 100 + i);
    }
    return true;
  }

 private:
  FakeKeScript& script_;
  size_t sent_ = 0;
};

class FakeKeConnector : public NtsKeConnector {
 public:
  explicit FakeKeConnector(FakeKeScript& script) : script_(script) {}
  KeConnection Connect(const std::string& host, uint16_t port, const std::string&) override {
    script_.host = host;
    script_.port = port;
    if (script_.connectError != KeConnectError::None) return {script_.connectError, nullptr};
    return {KeConnectError::None, std::make_unique<FakeKeChannel>(script_)};
  }

 private:
  FakeKeScript& script_;
};

}  // namespace quorvane
