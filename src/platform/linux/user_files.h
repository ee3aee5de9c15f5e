#pragma once

#include <string>
#include <string_view>

namespace quorvane {

// Where the program keeps each user's files: the sync log with its backups and the server
// list with its temporary file. The installed program's folder belongs to root, so there they
// live in the user's data folder; a build tree or a copied program keeps them beside itself.
// The package tells the two apart by a marker file beside the program, not by whether the
// folder is writable: root can write anywhere.
inline constexpr std::string_view kInstalledMarkerName = "installed-layout";
// The package's read-only list, which a user without a list of their own starts from.
inline constexpr std::string_view kShippedServerList = "/etc/quorvane/Quorvane.ini";
// Below the data home: maker, then program.
inline constexpr std::string_view kUserFilesSubfolder = "Veltrand/Quorvane";

// The XDG data home: $XDG_DATA_HOME when it is an absolute path, otherwise HOME/.local/share
// (the XDG rules ignore an empty or relative value). Either may be null.
std::string DataHome(const char* xdgDataHome, const char* home);

// The folder, with its trailing '/', that holds the user's files: the data home's
// Veltrand/Quorvane/ when installed (empty without a data home), the program directory (with
// its '/') otherwise.
std::string UserFilesDirectory(std::string_view programDirectory, bool installed,
                               std::string_view dataHome);

// Whether the package's marker stands in programDirectory (with its trailing '/').
bool IsInstalledLayout(std::string_view programDirectory);

// Makes the folder (0700, as the XDG rules ask) and, when the user has no server list, copies
// the shipped one in. Failures are left alone: a folder that is a file, a dangling link or not
// writable then gets the log's and the list's own messages when they are used, and nothing
// that is there is ever removed.
void PrepareUserFilesDirectory(const std::string& directory, const std::string& shippedList);

// The whole decision for the running program in programDirectory, from the environment and
// the marker; the installed program's folder is prepared as above.
std::string UserFilesDirectoryForProgram(const std::string& programDirectory);

}  // namespace quorvane
