#include "platform/linux/program_path.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace quorvane {
namespace {

TEST(ProgramDirectoryOf, KeepsTheTextUpToAndIncludingTheLastSlash) {
  struct Case {
    const char* path;
    const char* directory;
  } const cases[] = {
      {"/usr/local/bin/Quorvane", "/usr/local/bin/"},
      {"/opt/My Programs/Quorvane", "/opt/My Programs/"},
      {"/Quorvane", "/"},
      {"Quorvane", ""},
      {"", ""},
      {"/srv/dir/", "/srv/dir/"},
  };
  for (const Case& c : cases) EXPECT_EQ(ProgramDirectoryOf(c.path), c.directory) << c.path;
}

TEST(ExecutablePath, NamesThisVeryProgram) {
  const std::string path = ExecutablePath();
  ASSERT_FALSE(path.empty());
  EXPECT_EQ(path.front(), '/');
  EXPECT_TRUE(std::filesystem::equivalent(path, "/proc/self/exe"));
}

}  // namespace
}  // namespace quorvane
