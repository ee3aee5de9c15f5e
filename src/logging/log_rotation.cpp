#include "logging/log_rotation.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <functional>
#include <memory>

namespace quorvane {
namespace {

// The number of a backup's suffix: decimal digits without a leading zero, 1 to INT32_MAX.
bool ParseBackupNumber(std::string_view suffix, int32_t& number) {
  if (suffix.empty() || suffix.front() == '0') return false;
  int64_t value = 0;
  for (const char c : suffix) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
    if (value > INT32_MAX) return false;
  }
  number = static_cast<int32_t>(value);
  return true;
}

void SplitPath(const std::string& path, std::string& directory, std::string& name) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) {
    directory = ".";
    name = path;
  } else {
    directory = slash == 0 ? "/" : path.substr(0, slash);
    name = path.substr(slash + 1);
  }
}

}  // namespace

std::string LogFileName(std::string_view logPath, int32_t number) {
  std::string name(logPath);
  if (number != 0) name += "." + std::to_string(number);
  return name;
}

std::vector<RotationStep> PlanRotation(int32_t keep, std::vector<int32_t> existingNumbers) {
  std::sort(existingNumbers.begin(), existingNumbers.end(), std::greater<>());
  existingNumbers.erase(std::unique(existingNumbers.begin(), existingNumbers.end()),
                        existingNumbers.end());
  std::vector<RotationStep> steps;
  for (const int32_t n : existingNumbers) {
    if (n > keep || n < 0) continue;
    steps.push_back({n == keep ? RotationStep::Action::Delete : RotationStep::Action::Rename, n});
  }
  return steps;
}

std::vector<int32_t> ExistingLogNumbers(const std::string& logPath) {
  std::string directory;
  std::string name;
  SplitPath(logPath, directory, name);
  std::vector<int32_t> numbers;
  struct stat st {};
  if (::stat(logPath.c_str(), &st) == 0) numbers.push_back(0);
  const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(directory.c_str()), ::closedir);
  if (!dir) return numbers;
  const std::string prefix = name + ".";
  while (const dirent* entry = ::readdir(dir.get())) {
    const std::string_view entryName(entry->d_name);
    int32_t number = 0;
    if (!entryName.starts_with(prefix)) continue;
    if (!ParseBackupNumber(entryName.substr(prefix.size()), number)) continue;
    // A dangling link names nothing that exists.
    if (::stat(LogFileName(logPath, number).c_str(), &st) == 0) numbers.push_back(number);
  }
  return numbers;
}

bool DeleteLogFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

bool RenameLogFile(const std::string& from, const std::string& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
    return true;
  }
  if (errno != EINVAL && errno != ENOSYS) return false;
  // A file system without the no-replace rename: a hard link also fails when the target
  // exists, and removing the old name then completes the move.
  if (::link(from.c_str(), to.c_str()) != 0) return false;
  if (::unlink(from.c_str()) == 0) return true;
  ::unlink(to.c_str());
  return false;
}

}  // namespace quorvane
