#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "server_config/list_file_ops.h"

namespace quorvane::testing {

// Files in memory; every call is recorded, and each step can be made to fail.
class FakeListFileOps : public ListFileOps {
 public:
  std::map<std::string, std::string> files;
  std::vector<std::string> calls;  // "exists <path>", "remove <path>", "write <path>", ...
  bool failRemove = false;
  bool failRead = false;
  WriteResult writeResult = WriteResult::Written;
  ReplaceResult replaceResult = ReplaceResult::Replaced;

  std::optional<std::string> ReadAll(const std::string& path) override {
    calls.push_back("read " + path);
    const auto found = files.find(path);
    if (failRead || found == files.end()) return std::nullopt;
    return found->second;
  }
  bool Exists(const std::string& path) override {
    calls.push_back("exists " + path);
    return files.contains(path);
  }
  bool Remove(const std::string& path) override {
    calls.push_back("remove " + path);
    if (failRemove) return false;
    return files.erase(path) == 1;
  }
  WriteResult WriteDurably(const std::string& path, std::string_view content) override {
    calls.push_back("write " + path);
    if (writeResult == WriteResult::Written) files[path] = std::string(content);
    return writeResult;
  }
  ReplaceResult Replace(const std::string& from, const std::string& to) override {
    calls.push_back("replace " + from + " " + to);
    if (replaceResult != ReplaceResult::Replaced) return replaceResult;
    files[to] = files[from];
    files.erase(from);
    return ReplaceResult::Replaced;
  }
};

}  // namespace quorvane::testing
