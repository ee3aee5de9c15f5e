#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <system_error>

namespace quorvane::testing {

// A directory made for one test and removed with everything in it afterwards.
class TempDir {
 public:
  TempDir() {
    char pattern[] = "/tmp/quorvane-test-XXXXXX";
    const char* made = ::mkdtemp(pattern);
    path_ = made ? made : "";
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// A fresh folder per test, used as XDG_CONFIG_HOME so nothing reaches the real profile.
class TempConfigHome {
 public:
  TempConfigHome() { setenv("XDG_CONFIG_HOME", dir_.path().c_str(), 1); }
  ~TempConfigHome() { unsetenv("XDG_CONFIG_HOME"); }
  std::filesystem::path path() const { return dir_.path(); }

 private:
  TempDir dir_;
};

}  // namespace quorvane::testing
