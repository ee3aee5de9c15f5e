#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quorvane {

// The file of log number n: the log itself for 0, else the log's path, "." and n.
std::string LogFileName(std::string_view logPath, int32_t number);

// One step of a rotation: delete log number `number`, or rename it to number + 1.
struct RotationStep {
  enum class Action { Delete, Rename };
  Action action = Action::Delete;
  int32_t number = 0;

  bool operator==(const RotationStep&) const = default;
};

// What a rotation keeping `keep` backups does, given the numbers of the logs that exist
// (0 for the current log): from `keep` down to 0, the oldest kept one is deleted and each
// other one moves up by one. Numbers above `keep` are never touched; a negative `keep`
// plans nothing.
std::vector<RotationStep> PlanRotation(int32_t keep, std::vector<int32_t> existingNumbers);

// The numbers of the logs beside logPath that exist: 0 for the log itself and n for each
// backup named with n in decimal without leading zeros. Found by reading the directory
// once, so a huge kept count costs no more than the files present.
std::vector<int32_t> ExistingLogNumbers(const std::string& logPath);

// Deletes a file (never a directory); false on failure.
bool DeleteLogFile(const std::string& path);

// Renames a file, failing rather than replacing a target that exists.
bool RenameLogFile(const std::string& from, const std::string& to);

}  // namespace quorvane
