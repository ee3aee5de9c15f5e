#pragma once

#include <string>
#include <string_view>

namespace quorvane {

// The running executable's full path, from /proc/self/exe; empty when it cannot be read.
std::string ExecutablePath();

// The text up to and including the last '/', or empty when there is none.
std::string ProgramDirectoryOf(std::string_view path);

}  // namespace quorvane
