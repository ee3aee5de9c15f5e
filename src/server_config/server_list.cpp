#include "server_config/server_list.h"

#include <algorithm>

namespace quorvane {
namespace {

char FoldCase(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

void AddLine(std::string_view line, ServerLists& lists) {
  const size_t comma = line.find(',');
  if (comma == std::string_view::npos) return;
  const std::string_view name = line.substr(0, comma);
  const std::string_view entry = line.substr(comma + 1);
  if (name == "standard") {
    lists.standard.emplace_back(entry);
  } else if (name == "custom") {
    lists.custom.emplace_back(entry);
  }
}

const char* SaveFailureText(SaveOutcome outcome) {
  switch (outcome) {
    case SaveOutcome::TempNotRemoved:
      return kTempNotRemovedText;
    case SaveOutcome::TempNotCreated:
      return kTempNotCreatedText;
    case SaveOutcome::TempNotWritten:
      return kTempNotWrittenText;
    case SaveOutcome::OldListNotRemoved:
      return kOldListNotRemovedText;
    case SaveOutcome::TempNotRenamed:
      return kTempNotRenamedText;
    case SaveOutcome::Saved:
      break;
  }
  return "";
}

SaveOutcome SaveSteps(const std::string& listPath, const std::string& tempPath,
                      const ServerLists& lists, ListFileOps& files) {
  if (files.Exists(tempPath) && !files.Remove(tempPath)) return SaveOutcome::TempNotRemoved;
  switch (files.WriteDurably(tempPath, FormatServerLists(lists))) {
    case WriteResult::NotCreated:
      return SaveOutcome::TempNotCreated;
    case WriteResult::WriteFailed:
      return SaveOutcome::TempNotWritten;
    case WriteResult::Written:
      break;
  }
  // The old list is not deleted first: the rename replaces it in one step, so there is never
  // a moment without a list file.
  switch (files.Replace(tempPath, listPath)) {
    case ReplaceResult::TargetInTheWay:
      return SaveOutcome::OldListNotRemoved;
    case ReplaceResult::Failed:
      return SaveOutcome::TempNotRenamed;
    case ReplaceResult::Replaced:
      break;
  }
  return SaveOutcome::Saved;
}

}  // namespace

ServerLists ParseServerLists(std::string_view content) {
  ServerLists lists;
  while (!content.empty()) {
    const size_t end = content.find('\n');
    std::string_view line = content.substr(0, end);
    if (end != std::string_view::npos && line.ends_with('\r')) line.remove_suffix(1);
    AddLine(line, lists);
    if (end == std::string_view::npos) break;
    content.remove_prefix(end + 1);
  }
  return lists;
}

std::string FormatServerLists(const ServerLists& lists) {
  std::string text;
  for (const std::string& entry : lists.standard) text.append("standard,").append(entry) += "\r\n";
  for (const std::string& entry : lists.custom) text.append("custom,").append(entry) += "\r\n";
  return text;
}

bool LessIgnoringCase(std::string_view a, std::string_view b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return static_cast<unsigned char>(FoldCase(x)) < static_cast<unsigned char>(FoldCase(y));
  });
}

bool StartsWithIgnoringCase(std::string_view entry, std::string_view text) {
  if (text.size() > entry.size()) return false;
  return std::equal(text.begin(), text.end(), entry.begin(),
                    [](char x, char y) { return FoldCase(x) == FoldCase(y); });
}

void SortIgnoringCase(std::vector<std::string>& entries) {
  std::stable_sort(entries.begin(), entries.end(), [](const std::string& a, const std::string& b) {
    return LessIgnoringCase(a, b);
  });
}

ServerLists LoadServerLists(const std::string& listPath, ListFileOps& files, MessageBoxes& boxes) {
  const std::optional<std::string> content = files.ReadAll(listPath);
  if (!content) {
    boxes.Show(ApplicationBox(kListFileMissingText));
    return {};
  }
  return ParseServerLists(*content);
}

SaveOutcome SaveServerLists(const std::string& listPath, const std::string& tempPath,
                            const ServerLists& lists, ListFileOps& files, MessageBoxes& boxes) {
  const SaveOutcome outcome = SaveSteps(listPath, tempPath, lists, files);
  if (outcome != SaveOutcome::Saved) boxes.Show(ApplicationBox(SaveFailureText(outcome)));
  return outcome;
}

}  // namespace quorvane
