#pragma once

#include <map>
#include <string>
#include <variant>
#include <vector>

#include "ports/settings_store.h"

namespace quorvane::testing {

// An in-memory store that records every write in order.
class FakeSettingsStore : public SettingsStore {
 public:
  using Value = std::variant<int32_t, std::string>;
  std::map<std::string, Value, std::less<>> values;
  std::vector<std::string> writtenKeys;
  std::vector<std::string> readKeys;

  int32_t ReadInt(std::string_view key, int32_t defaultValue) override {
    readKeys.emplace_back(key);
    auto it = values.find(key);
    if (it == values.end()) return defaultValue;
    if (const auto* v = std::get_if<int32_t>(&it->second)) return *v;
    return defaultValue;
  }
  std::string ReadString(std::string_view key, std::string_view defaultValue) override {
    readKeys.emplace_back(key);
    auto it = values.find(key);
    if (it == values.end()) return std::string(defaultValue);
    if (const auto* v = std::get_if<std::string>(&it->second)) return *v;
    return std::string(defaultValue);
  }
  void WriteInt(std::string_view key, int32_t value) override {
    values[std::string(key)] = value;
    writtenKeys.emplace_back(key);
  }
  void WriteString(std::string_view key, std::string_view value) override {
    values[std::string(key)] = std::string(value);
    writtenKeys.emplace_back(key);
  }
};

}  // namespace quorvane::testing
