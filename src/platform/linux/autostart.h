#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace quorvane {

inline constexpr const char* kAutostartFileName = "Quorvane.desktop";

// The command the installed package puts on the PATH, a link to /usr/lib/quorvane/Quorvane.
inline constexpr const char* kPackageLauncher = "/usr/bin/quorvane";

// The path the autostart entry starts: the launcher when it resolves to this very executable
// (the program runs from the package), since the package's public command is the name that
// stays; otherwise the executable's own path (a build tree, a copy elsewhere).
std::string AutostartProgramPath(const std::string& executablePath,
                                 const std::filesystem::path& launcher = kPackageLauncher);

// The executable path as one argument of a desktop entry's Exec key: quoted when it holds
// a blank or a reserved character, and escaped for the key file's string rules.
std::string DesktopExecArgument(std::string_view executablePath);

// The whole text of the autostart entry that starts the program at log-in.
std::string AutostartEntryText(std::string_view executablePath);

// $XDG_CONFIG_HOME/autostart, or ~/.config/autostart when the variable is unset or not
// absolute; empty when neither can be worked out.
std::filesystem::path AutostartDirectory();

// Both return false when the file could not be written or removed; callers absorb that.
bool WriteAutostartEntry(const std::filesystem::path& directory, std::string_view executablePath);
bool RemoveAutostartEntry(const std::filesystem::path& directory);

}  // namespace quorvane
