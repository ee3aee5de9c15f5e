#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "ports/message_boxes.h"
#include "server_config/list_file_ops.h"

namespace quorvane {

inline constexpr std::string_view kServerListFileName = "Quorvane.ini";
inline constexpr std::string_view kServerListTempFileName = "Quorvane_temp.ini";

inline constexpr const char* kListFileMissingText =
    "Quorvane.ini cannot be found or cannot be opened.\nIf you have it open in a text editor, "
    "please close it and restart this program.\nThe ini file should reside next to "
    "Quorvane.exe.\nIf you do not exit an attempt will be made to create the file\nso that "
    "entries you make in Custom Servers can be recorded,\nbut the file will not contain any "
    "Standard Servers.";
inline constexpr const char* kTempNotRemovedText =
    "The lists of servers cannot be saved\nbecause a pre-existing temporary file could not be "
    "removed.";
inline constexpr const char* kTempNotCreatedText =
    "The lists of servers cannot be saved\nbecause the temporary file could not be created for "
    "writing.";
// Not one of the four failures of the save steps: the lines could not all be written out (a
// full disk), so the old list is kept.
inline constexpr const char* kTempNotWrittenText =
    "The lists of servers cannot be saved\nbecause the temporary file could not be written.";
inline constexpr const char* kOldListNotRemovedText =
    "The lists of servers cannot be saved\nbecause the old ini file could not be removed.";
inline constexpr const char* kTempNotRenamedText =
    "The lists of servers cannot be saved\nbecause the temp file could not be renamed to ini.";

// The two lists of the server list file; entries are kept byte for byte.
struct ServerLists {
  std::vector<std::string> standard;
  std::vector<std::string> custom;
  bool operator==(const ServerLists&) const = default;
};

// The lists in a file's text: LF or CR LF ends a line, a last line needs none; "standard,"
// and "custom," lines give entries, every other line is skipped. File order.
ServerLists ParseServerLists(std::string_view content);

// The file's text: every standard entry, then every custom one, each line ending in CR LF.
std::string FormatServerLists(const ServerLists& lists);

// The order of the dialog's server lists: alphabetical, ignoring the case of ASCII letters.
bool LessIgnoringCase(std::string_view a, std::string_view b);
// Whether `text` begins `entry`, ignoring the case of ASCII letters.
bool StartsWithIgnoringCase(std::string_view entry, std::string_view text);
// The entries in the order a sorted list shows them when they are added one by one: equal
// ones keep the order they came in.
void SortIgnoringCase(std::vector<std::string>& entries);

// Reads the list file; when it cannot be opened, shows the missing-file box and gives two
// empty lists.
ServerLists LoadServerLists(const std::string& listPath, ListFileOps& files, MessageBoxes& boxes);

enum class SaveOutcome {
  Saved,
  TempNotRemoved,
  TempNotCreated,
  TempNotWritten,
  OldListNotRemoved,
  TempNotRenamed
};

// Writes the lists through the temporary file, which then takes the list's name in one
// step: at every moment the old list or the new one is on the disk. A failure has been
// reported in a box when this returns.
SaveOutcome SaveServerLists(const std::string& listPath, const std::string& tempPath,
                            const ServerLists& lists, ListFileOps& files, MessageBoxes& boxes);

}  // namespace quorvane
