#include "platform/linux/user_files.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/temp_dir.h"

namespace quorvane {
namespace {

namespace fs = std::filesystem;

void WriteFile(const fs::path& path, const std::string& text) { std::ofstream(path) << text; }

std::string ReadFile(const fs::path& path) {
  std::ostringstream text;
  text << std::ifstream(path).rdbuf();
  return text.str();
}

class UserFilesFolder : public ::testing::Test {
 protected:
  std::string Path(const std::string& name) const { return dir_.path() + "/" + name; }
  testing::TempDir dir_;
};

TEST_F(UserFilesFolder, OnlyTheMarkerFileMakesTheInstalledLayout) {
  const std::string program = Path("");
  EXPECT_FALSE(IsInstalledLayout(program));
  fs::create_directory(Path(std::string(kInstalledMarkerName)));
  EXPECT_FALSE(IsInstalledLayout(program)) << "a folder of that name is no marker";
  fs::remove(Path(std::string(kInstalledMarkerName)));
  WriteFile(Path(std::string(kInstalledMarkerName)), "");
  EXPECT_TRUE(IsInstalledLayout(program));
}

TEST_F(UserFilesFolder, FirstUseMakesThePrivateFolderWithTheShippedList) {
  WriteFile(Path("shipped.ini"), "standard,192.0.2.10\r\n");
  const std::string folder = Path("share/Veltrand/Quorvane/");
  PrepareUserFilesDirectory(folder, Path("shipped.ini"));
  EXPECT_EQ(ReadFile(folder + "Quorvane.ini"), "standard,192.0.2.10\r\n");
  struct stat made {};
  ASSERT_EQ(::stat(Path("share/Veltrand").c_str(), &made), 0);
  EXPECT_EQ(made.st_mode & 07777, 0700u);

  WriteFile(folder + "Quorvane.ini", "custom,mine\r\n");
  PrepareUserFilesDirectory(folder, Path("shipped.ini"));
  EXPECT_EQ(ReadFile(folder + "Quorvane.ini"), "custom,mine\r\n") << "the user's list stays";
}

TEST_F(UserFilesFolder, AnUnusableFolderIsLeftAsItIs) {
  WriteFile(Path("shipped.ini"), "standard,x\r\n");
  WriteFile(Path("file"), "kept");
  fs::create_symlink(Path("gone"), Path("dangling"));
  for (const char* name : {"file", "dangling"}) {
    PrepareUserFilesDirectory(Path(name) + "/", Path("shipped.ini"));
  }
  EXPECT_EQ(ReadFile(Path("file")), "kept");
  EXPECT_TRUE(fs::is_symlink(Path("dangling")));
  EXPECT_FALSE(fs::exists(Path("gone")));
}

TEST_F(UserFilesFolder, TheRunningProgramReadsItsEnvironment) {
  WriteFile(Path(std::string(kInstalledMarkerName)), "");
  setenv("XDG_DATA_HOME", Path("data").c_str(), 1);
  EXPECT_EQ(UserFilesDirectoryForProgram(Path("")), Path("data/Veltrand/Quorvane/"));
  EXPECT_TRUE(fs::is_directory(Path("data/Veltrand/Quorvane")));
  unsetenv("XDG_DATA_HOME");
  fs::remove(Path(std::string(kInstalledMarkerName)));
  EXPECT_EQ(UserFilesDirectoryForProgram(Path("")), Path(""));
}

}  // namespace
}  // namespace quorvane
