#include "logging/log_rotation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <filesystem>

#include "support/log_test_files.h"

namespace quorvane {
namespace {

using Step = RotationStep;
constexpr auto kDelete = RotationStep::Action::Delete;
constexpr auto kRename = RotationStep::Action::Rename;

struct PlanCase {
  const char* name;
  int32_t keep;
  std::vector<int32_t> existing;
  std::vector<Step> steps;
};

TEST(LogRotationTest, PlanShiftsFromTheOldestKeptDown) {
  const PlanCase cases[] = {
      {"three kept, all present",
       3,
       {0, 1, 2, 3},
       {{kDelete, 3}, {kRename, 2}, {kRename, 1}, {kRename, 0}}},
      {"three kept, gaps", 3, {2, 0}, {{kRename, 2}, {kRename, 0}}},
      {"none kept deletes the log", 0, {0, 1, 2}, {{kDelete, 0}}},
      {"negative keeps nothing and plans nothing", -1, {0, 1}, {}},
      {"higher backups untouched",
       2,
       {0, 1, 2, 3, 4, 5},
       {{kDelete, 2}, {kRename, 1}, {kRename, 0}}},
      {"no log, backups still shift", 2, {1}, {{kRename, 1}}},
      {"nothing present", 5, {}, {}},
      {"duplicates and order do not matter", 1, {0, 1, 0, 1}, {{kDelete, 1}, {kRename, 0}}},
      {"largest count",
       INT32_MAX,
       {INT32_MAX, 1, 0},
       {{kDelete, INT32_MAX}, {kRename, 1}, {kRename, 0}}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PlanRotation(c.keep, c.existing), c.steps) << c.name;
  }
}

TEST(LogRotationTest, BackupNames) {
  EXPECT_EQ(LogFileName("/d/Quorvane.txt", 0), "/d/Quorvane.txt");
  EXPECT_EQ(LogFileName("/d/Quorvane.txt", 1), "/d/Quorvane.txt.1");
  EXPECT_EQ(LogFileName("/d/Quorvane.txt", 10), "/d/Quorvane.txt.10");
}

TEST(LogRotationTest, ExistingNumbersAreTheBackupsBesideTheLog) {
  testing::TempDir dir;
  const std::string log = dir.path() + "/Quorvane.txt";
  for (const char* name :
       {"Quorvane.txt", "Quorvane.txt.1", "Quorvane.txt.12", "Quorvane.txt.2147483647",
        "Quorvane.txt.2147483648", "Quorvane.txt.01", "Quorvane.txt.0", "Quorvane.txt.3x",
        "Quorvane.txt.", "Other.txt.4", "Quorvane.txt.-1"}) {
    testing::WriteFileBytes(dir.path() + "/" + name, "x");
  }
  std::filesystem::create_directory(dir.path() + "/Quorvane.txt.7");
  std::filesystem::create_symlink(dir.path() + "/gone", dir.path() + "/Quorvane.txt.8");
  std::vector<int32_t> numbers = ExistingLogNumbers(log);
  std::sort(numbers.begin(), numbers.end());
  EXPECT_EQ(numbers, (std::vector<int32_t>{0, 1, 7, 12, INT32_MAX}));

  std::filesystem::remove(log);
  numbers = ExistingLogNumbers(log);
  EXPECT_EQ(std::count(numbers.begin(), numbers.end(), 0), 0);
}

TEST(LogRotationTest, RenameNeverReplacesAnExistingTarget) {
  testing::TempDir dir;
  const std::string a = dir.path() + "/a";
  const std::string b = dir.path() + "/b";
  testing::WriteFileBytes(a, "new");
  testing::WriteFileBytes(b, "old");
  EXPECT_FALSE(RenameLogFile(a, b));
  EXPECT_EQ(testing::ReadFileBytes(a), "new");
  EXPECT_EQ(testing::ReadFileBytes(b), "old");

  std::filesystem::remove(b);
  EXPECT_TRUE(RenameLogFile(a, b));
  EXPECT_FALSE(std::filesystem::exists(a));
  EXPECT_EQ(testing::ReadFileBytes(b), "new");
}

TEST(LogRotationTest, DeleteRefusesDirectories) {
  testing::TempDir dir;
  const std::string sub = dir.path() + "/Quorvane.txt";
  std::filesystem::create_directory(sub);
  EXPECT_FALSE(DeleteLogFile(sub));
  EXPECT_TRUE(std::filesystem::is_directory(sub));
}

}  // namespace
}  // namespace quorvane
