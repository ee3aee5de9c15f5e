#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "fakes/fake_message_boxes.h"
#include "server_config/server_list.h"
#include "support/temp_dir.h"

// The server list's save and load on real files, with real failures.
namespace quorvane {
namespace {

namespace fs = std::filesystem;
using testing::FakeMessageBoxes;
using testing::TempDir;

constexpr const char* kOld = "standard,old.example\r\n";
const ServerLists kNewLists{{"a.example", "B.example"}, {"c.example"}};
constexpr const char* kNew = "standard,a.example\r\nstandard,B.example\r\ncustom,c.example\r\n";

std::string Read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void Write(const fs::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

struct ListDir {
  TempDir temp;
  fs::path list = fs::path(temp.path()) / "Quorvane.ini";
  fs::path tempFile = fs::path(temp.path()) / "Quorvane_temp.ini";
  PosixListFileOps files;
  FakeMessageBoxes boxes;
  SaveOutcome Save() { return SaveServerLists(list, tempFile, kNewLists, files, boxes); }
};

TEST(ServerListFiles, SaveReplacesTheOldListAndLeavesNoTemporaryFile) {
  ListDir d;
  Write(d.list, kOld);
  Write(d.tempFile, "left by a failed save");
  EXPECT_EQ(d.Save(), SaveOutcome::Saved);
  EXPECT_EQ(Read(d.list), kNew);
  EXPECT_FALSE(fs::exists(d.tempFile));
  EXPECT_TRUE(d.boxes.shown.empty());
  EXPECT_EQ(LoadServerLists(d.list, d.files, d.boxes), kNewLists);
}

TEST(ServerListFiles, EachFailureOnRealFilesKeepsTheOldList) {
  const struct {
    const char* name;
    void (*arrange)(ListDir&);
    SaveOutcome outcome;
  } cases[] = {
      {"a directory as the temporary file",
       [](ListDir& d) { fs::create_directories(d.tempFile / "inside"); },
       SaveOutcome::TempNotRemoved},
      {"a non-empty directory as the rename target",
       [](ListDir& d) {
         fs::remove(d.list);
         fs::create_directories(d.list / "inside");
       },
       SaveOutcome::OldListNotRemoved},
      {"an empty directory as the rename target",
       [](ListDir& d) {
         fs::remove(d.list);
         fs::create_directory(d.list);
       },
       SaveOutcome::OldListNotRemoved},
  };
  for (const auto& c : cases) {
    ListDir d;
    Write(d.list, kOld);
    c.arrange(d);
    EXPECT_EQ(d.Save(), c.outcome) << c.name;
    ASSERT_EQ(d.boxes.shown.size(), 1u) << c.name;
    if (fs::is_regular_file(d.list)) {
      EXPECT_EQ(Read(d.list), kOld) << c.name;
    }
    if (c.outcome == SaveOutcome::OldListNotRemoved) {
      EXPECT_EQ(Read(d.tempFile), kNew) << c.name;
    }
  }
}

TEST(ServerListFiles, MissingDirectoryMeansTheTemporaryFileCannotBeCreated) {
  ListDir d;
  const fs::path gone = fs::path(d.temp.path()) / "gone";
  EXPECT_EQ(SaveServerLists(gone / "Quorvane.ini", gone / "Quorvane_temp.ini", kNewLists, d.files,
                            d.boxes),
            SaveOutcome::TempNotCreated);
  ASSERT_EQ(d.boxes.shown.size(), 1u);
  EXPECT_EQ(d.boxes.shown[0].text, kTempNotCreatedText);
}

// A file-size limit makes the writes fail as a full disk would; in a child, so the limit
// stays there.
TEST(ServerListFiles, WriteErrorIsReportedAndTheOldListStays) {
  ListDir d;
  Write(d.list, kOld);
  const pid_t child = fork();
  if (child == 0) {
    signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{10, 10};
    setrlimit(RLIMIT_FSIZE, &limit);
    FakeMessageBoxes boxes;
    const SaveOutcome outcome = SaveServerLists(d.list, d.tempFile, kNewLists, d.files, boxes);
    const bool told = boxes.shown.size() == 1 && boxes.shown[0].text == kTempNotWrittenText;
    _exit(outcome == SaveOutcome::TempNotWritten && told ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(Read(d.list), kOld);
  EXPECT_FALSE(fs::exists(d.tempFile));  // the half-written file is not left behind
}

// Ends the process abruptly once `calls` operations have run: a save killed in between.
class KilledAfter : public PosixListFileOps {
 public:
  explicit KilledAfter(int calls) : left_(calls) {}
  bool Exists(const std::string& p) override { return Step(), PosixListFileOps::Exists(p); }
  bool Remove(const std::string& p) override { return Step(), PosixListFileOps::Remove(p); }
  WriteResult WriteDurably(const std::string& p, std::string_view c) override {
    Step();
    const WriteResult r = PosixListFileOps::WriteDurably(p, c);
    Step();
    return r;
  }
  ReplaceResult Replace(const std::string& from, const std::string& to) override {
    Step();
    const ReplaceResult r = PosixListFileOps::Replace(from, to);
    Step();
    return r;
  }

 private:
  void Step() {
    if (left_-- == 0) _exit(9);
  }
  int left_;
};

TEST(ServerListFiles, SaveKilledAtAnyPointLeavesTheOldListOrTheNewOne) {
  for (int calls = 0; calls <= 6; ++calls) {
    ListDir d;
    Write(d.list, kOld);
    Write(d.tempFile, "left over");
    const pid_t child = fork();
    if (child == 0) {
      KilledAfter files(calls);
      FakeMessageBoxes boxes;
      SaveServerLists(d.list, d.tempFile, kNewLists, files, boxes);
      _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status)) << calls;
    const std::string now = Read(d.list);
    EXPECT_TRUE(now == kOld || now == kNew) << calls << ": " << now;
    if (WEXITSTATUS(status) == 0) {
      EXPECT_EQ(now, kNew) << calls;
    }
  }
}

TEST(ServerListFiles, WhatCannotBeReadAsAFileGivesTheMissingMessage) {
  const struct {
    const char* name;
    void (*arrange)(const fs::path&);
  } cases[] = {
      {"no file", [](const fs::path&) {}},
      {"a directory", [](const fs::path& p) { fs::create_directory(p); }},
      {"a pipe that nobody writes", [](const fs::path& p) { mkfifo(p.c_str(), 0600); }},
  };
  for (const auto& c : cases) {
    ListDir d;
    c.arrange(d.list);
    EXPECT_EQ(LoadServerLists(d.list, d.files, d.boxes), ServerLists{}) << c.name;
    ASSERT_EQ(d.boxes.shown.size(), 1u) << c.name;
    EXPECT_EQ(d.boxes.shown[0].text, kListFileMissingText) << c.name;
  }
}

}  // namespace
}  // namespace quorvane
