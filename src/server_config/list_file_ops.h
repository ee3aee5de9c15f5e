#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quorvane {

enum class WriteResult { Written, NotCreated, WriteFailed };
enum class ReplaceResult { Replaced, TargetInTheWay, Failed };

// The file operations the server list needs, one call per step of a save, so that a test can
// stop or fail a save between any two of them.
class ListFileOps {
 public:
  virtual ~ListFileOps() = default;
  // The whole content of a regular file; nothing when it cannot be opened or read.
  virtual std::optional<std::string> ReadAll(const std::string& path) = 0;
  // Whether anything (file, directory, link) stands at the path.
  virtual bool Exists(const std::string& path) = 0;
  // Deletes a file, never a directory; false on failure.
  virtual bool Remove(const std::string& path) = 0;
  // Creates or empties the file and writes the content; on Written it is on the disk.
  // A file left half written is removed again.
  virtual WriteResult WriteDurably(const std::string& path, std::string_view content) = 0;
  // Gives `from` the name `to` in one step, replacing a file there. TargetInTheWay when
  // what stands at `to` cannot be replaced (a directory).
  virtual ReplaceResult Replace(const std::string& from, const std::string& to) = 0;
};

// Real files, through POSIX calls.
class PosixListFileOps : public ListFileOps {
 public:
  std::optional<std::string> ReadAll(const std::string& path) override;
  bool Exists(const std::string& path) override;
  bool Remove(const std::string& path) override;
  WriteResult WriteDurably(const std::string& path, std::string_view content) override;
  ReplaceResult Replace(const std::string& from, const std::string& to) override;
};

}  // namespace quorvane
