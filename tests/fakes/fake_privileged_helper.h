#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ports/privileged_helper.h"

namespace quorvane::testing {

// Records each operation as "step 5 20", "set 5 20" or "bind", and answers with `error`.
// A bind that succeeds hands out `descriptor`.
class FakePrivilegedHelper : public PrivilegedHelper {
 public:
  std::vector<std::string> calls;
  int error = 0;
  int descriptor = -1;

  int StepClock(int64_t seconds, int64_t nanoseconds) override {
    calls.push_back("step " + std::to_string(seconds) + " " + std::to_string(nanoseconds));
    return error;
  }
  int SetClock(int64_t seconds, int64_t nanoseconds) override {
    calls.push_back("set " + std::to_string(seconds) + " " + std::to_string(nanoseconds));
    return error;
  }
  int BindNtpPort(int& given) override {
    calls.push_back("bind");
    given = error == 0 ? descriptor : -1;
    return error;
  }
};

}  // namespace quorvane::testing
