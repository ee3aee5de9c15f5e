#pragma once

#include <string>
#include <string_view>

namespace quorvane {

// The name every instance of the program claims; one holder per machine.
inline constexpr std::string_view kSingleInstanceName = "{719967F0-DCC6-49b5-9C61-4E91175C3187}";

// Claims a machine-wide name for the life of this object: an abstract-namespace Unix
// socket, which every user sees and the kernel releases when the process dies, so a
// crashed instance never blocks the next start.
class SingleInstance {
 public:
  explicit SingleInstance(std::string_view name = kSingleInstanceName);
  ~SingleInstance();
  SingleInstance(const SingleInstance&) = delete;
  SingleInstance& operator=(const SingleInstance&) = delete;

  // False only when another process holds the name. Any other failure to claim it lets
  // the program start: refusing to run over a resource shortage would be worse.
  bool AnotherInstanceRuns() const { return anotherRuns_; }

 private:
  int fd_ = -1;
  bool anotherRuns_ = false;
};

}  // namespace quorvane
