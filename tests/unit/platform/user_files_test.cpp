#include "platform/linux/user_files.h"

#include <gtest/gtest.h>

namespace quorvane {
namespace {

TEST(UserFilesDirectory, InstalledInTheDataHomeOtherwiseBesideTheProgram) {
  struct Case {
    const char* what;
    bool installed;
    const char* xdgDataHome;
    const char* home;
    const char* directory;
  } const cases[] = {
      {"build tree", false, "/data", "/home/ann", "/src/build/"},
      {"copied program, no home", false, nullptr, nullptr, "/src/build/"},
      {"installed, XDG_DATA_HOME set", true, "/data", "/home/ann", "/data/Veltrand/Quorvane/"},
      {"installed, its trailing slash", true, "/data//", "/home/ann", "/data/Veltrand/Quorvane/"},
      {"installed, XDG_DATA_HOME unset", true, nullptr, "/home/ann",
       "/home/ann/.local/share/Veltrand/Quorvane/"},
      {"installed, XDG_DATA_HOME empty", true, "", "/home/ann/",
       "/home/ann/.local/share/Veltrand/Quorvane/"},
      {"installed, XDG_DATA_HOME relative", true, "data", "/home/ann",
       "/home/ann/.local/share/Veltrand/Quorvane/"},
      {"installed, the data home is /", true, "/", "/home/ann", "/Veltrand/Quorvane/"},
      {"installed, home is /", true, nullptr, "/", "/.local/share/Veltrand/Quorvane/"},
      {"installed, no home at all", true, "", "", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(UserFilesDirectory("/src/build/", c.installed, DataHome(c.xdgDataHome, c.home)),
              c.directory)
        << c.what;
  }
}

}  // namespace
}  // namespace quorvane
