#include "platform/linux/user_files.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

#include "server_config/server_list.h"

namespace quorvane {
namespace {

std::string WithoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

// HOME as the XDG rules read it; the password database when HOME is unset or empty.
std::string HomeFolder() {
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') return home;
  std::vector<char> buffer(16384);
  passwd entry{};
  passwd* found = nullptr;
  if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found) {
    return found->pw_dir;
  }
  return {};
}

// mkdir -p with mode 0700 for what it makes; stops quietly at the first part it cannot make.
void MakeFolders(const std::string& directory) {
  for (size_t slash = directory.find('/', 1); slash != std::string::npos;
       slash = directory.find('/', slash + 1)) {
    if (::mkdir(directory.substr(0, slash).c_str(), 0700) != 0 && errno != EEXIST) return;
  }
  ::mkdir(directory.c_str(), 0700);
}

}  // namespace

std::string DataHome(const char* xdgDataHome, const char* home) {
  if (xdgDataHome != nullptr && xdgDataHome[0] == '/') return WithoutTrailingSlashes(xdgDataHome);
  if (home == nullptr || *home == '\0') return {};
  const std::string base = WithoutTrailingSlashes(home);
  return (base == "/" ? "" : base) + "/.local/share";
}

std::string UserFilesDirectory(std::string_view programDirectory, bool installed,
                               std::string_view dataHome) {
  if (!installed) return std::string(programDirectory);
  // No home at all: an empty directory, as for a program whose own folder is unknown.
  if (dataHome.empty()) return {};
  std::string directory(dataHome);
  if (directory != "/") directory += '/';
  return directory + std::string(kUserFilesSubfolder) + '/';
}

bool IsInstalledLayout(std::string_view programDirectory) {
  std::error_code error;
  return std::filesystem::is_regular_file(
      std::string(programDirectory) + std::string(kInstalledMarkerName), error);
}

void PrepareUserFilesDirectory(const std::string& directory, const std::string& shippedList) {
  MakeFolders(WithoutTrailingSlashes(directory));
  const std::string list = directory + std::string(kServerListFileName);
  std::error_code error;
  // symlink_status: a dangling link where the list belongs is the user's, not replaced.
  if (std::filesystem::symlink_status(list, error).type() != std::filesystem::file_type::not_found)
    return;
  std::filesystem::copy_file(shippedList, list, error);
}

std::string UserFilesDirectoryForProgram(const std::string& programDirectory) {
  if (!IsInstalledLayout(programDirectory)) return programDirectory;
  const std::string home = HomeFolder();
  const std::string directory = UserFilesDirectory(
      programDirectory, true, DataHome(std::getenv("XDG_DATA_HOME"), home.c_str()));
  if (!directory.empty()) PrepareUserFilesDirectory(directory, std::string(kShippedServerList));
  return directory;
}

}  // namespace quorvane
