#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "platform/linux/autostart.h"
#include "support/temp_dir.h"

namespace quorvane {
namespace {

TEST(AutostartEntry, ExecArgumentQuoting) {
  const std::pair<const char*, const char*> cases[] = {
      {"/usr/bin/Quorvane", "/usr/bin/Quorvane"},
      {"/opt/My Apps/Quorvane", "\"/opt/My Apps/Quorvane\""},
      {"/opt/a\tb/Q", "\"/opt/a\\tb/Q\""},
      {"/opt/it's/Q", "\"/opt/it's/Q\""},
      // Inside quotes ", `, $ and \ take a backslash, which the key file then doubles.
      {"/opt/say \"hi\"/Q", "\"/opt/say \\\\\"hi\\\\\"/Q\""},
      {"/opt/$HOME/Q", "\"/opt/\\\\$HOME/Q\""},
      {"/opt/`x`/Q", "\"/opt/\\\\`x\\\\`/Q\""},
      {"/opt/back\\slash/Q", "\"/opt/back\\\\\\\\slash/Q\""},
      // % starts a field code, quoted or not.
      {"/opt/100%/Q", "/opt/100%%/Q"},
      {"/opt/100% sure/Q", "\"/opt/100%% sure/Q\""},
  };
  for (const auto& [path, exec] : cases) EXPECT_EQ(DesktopExecArgument(path), exec) << path;
}

TEST(AutostartEntry, WholeEntryForAPathWithBlanks) {
  EXPECT_EQ(AutostartEntryText("/home/ann/My Programs/Quorvane"),
            "[Desktop Entry]\n"
            "Type=Application\n"
            "Name=Quorvane\n"
            "Exec=\"/home/ann/My Programs/Quorvane\"\n"
            "Terminal=false\n");
}

TEST(AutostartEntry, PackagedProgramStartsThroughItsLauncher) {
  testing::TempDir temp;
  const std::filesystem::path root = temp.path();
  const auto packaged = root / "opt" / "Quorvane";
  const auto built = root / "build" / "Quorvane";
  const auto launcher = root / "bin" / "quorvane";
  const auto stray = root / "bin" / "stray";
  for (const auto& dir : {packaged.parent_path(), built.parent_path(), launcher.parent_path()}) {
    std::filesystem::create_directories(dir);
  }
  for (const auto& file : {packaged, built}) std::ofstream(file) << "x";
  std::filesystem::create_symlink(packaged, launcher);
  std::filesystem::create_symlink(built, stray);
  struct Case {
    const char* what;
    std::filesystem::path executable, link, expected;
  };
  const Case cases[] = {
      {"packaged", packaged, launcher, launcher},
      {"build tree beside a package", built, launcher, built},
      {"link pointing elsewhere", packaged, stray, packaged},
      {"no launcher", built, root / "bin" / "absent", built},
      {"unknown executable", "", launcher, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(AutostartProgramPath(c.executable.string(), c.link), c.expected.string()) << c.what;
  }
}

TEST(AutostartEntry, DirectoryFromTheEnvironment) {
  const char* savedHome = std::getenv("HOME");
  const std::string home = savedHome != nullptr ? savedHome : "";
  struct Case {
    const char* config;  // nullptr: unset
    const char* home;
    const char* expected;
  };
  const Case cases[] = {
      {"/tmp/cfg", "/home/ann", "/tmp/cfg/autostart"},
      {nullptr, "/home/ann", "/home/ann/.config/autostart"},
      {"relative/cfg", "/home/ann", "/home/ann/.config/autostart"},
      {"", "/home/ann", "/home/ann/.config/autostart"},
      {nullptr, "", ""},
  };
  for (const Case& c : cases) {
    if (c.config != nullptr) {
      setenv("XDG_CONFIG_HOME", c.config, 1);
    } else {
      unsetenv("XDG_CONFIG_HOME");
    }
    setenv("HOME", c.home, 1);
    EXPECT_EQ(AutostartDirectory().string(), c.expected) << (c.config ? c.config : "unset");
  }
  unsetenv("XDG_CONFIG_HOME");
  setenv("HOME", home.c_str(), 1);
}

TEST(AutostartEntry, WriteCreatesTheFolderAndRemoveIsQuietWhenAbsent) {
  testing::TempConfigHome home;
  const auto dir = home.path() / "deep" / "autostart";
  ASSERT_TRUE(WriteAutostartEntry(dir, "/opt/Q"));
  std::ifstream in(dir / "Quorvane.desktop", std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text, AutostartEntryText("/opt/Q"));
  EXPECT_TRUE(RemoveAutostartEntry(dir));
  EXPECT_FALSE(std::filesystem::exists(dir / "Quorvane.desktop"));
  EXPECT_TRUE(RemoveAutostartEntry(dir));
  EXPECT_FALSE(WriteAutostartEntry({}, "/opt/Q"));
}

}  // namespace
}  // namespace quorvane
