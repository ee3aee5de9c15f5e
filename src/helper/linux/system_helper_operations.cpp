#include "helper/linux/system_helper_operations.h"

#include <netinet/in.h>
#include <sys/capability.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/timex.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <initializer_list>

namespace quorvane {
namespace {

constexpr uint16_t kNtpPort = 123;

// Makes one permitted capability effective for the lifetime of this object. When it is
// not permitted nothing changes, and the system call that follows is refused by the kernel
// with its own errno, which is the answer the caller wants.
class RaisedCapability {
 public:
  explicit RaisedCapability(cap_value_t capability) : capability_(capability) {
    raised_ = SetEffective(CAP_SET);
  }
  ~RaisedCapability() {
    if (raised_) SetEffective(CAP_CLEAR);
  }
  RaisedCapability(const RaisedCapability&) = delete;
  RaisedCapability& operator=(const RaisedCapability&) = delete;

 private:
  bool SetEffective(cap_flag_value_t value) {
    cap_t caps = cap_get_proc();
    if (caps == nullptr) return false;
    cap_flag_value_t permitted = CAP_CLEAR;
    bool ok =
        cap_get_flag(caps, capability_, CAP_PERMITTED, &permitted) == 0 && permitted == CAP_SET &&
        cap_set_flag(caps, CAP_EFFECTIVE, 1, &capability_, value) == 0 && cap_set_proc(caps) == 0;
    cap_free(caps);
    return ok;
  }

  cap_value_t capability_;
  bool raised_ = false;
};

}  // namespace

int SystemHelperOperations::StepClock(int64_t seconds, int64_t nanoseconds) {
  timex step{};
  step.modes = ADJ_SETOFFSET | ADJ_NANO;
  step.time.tv_sec = static_cast<time_t>(seconds);
  step.time.tv_usec = static_cast<suseconds_t>(nanoseconds);  // nanoseconds, with ADJ_NANO
  RaisedCapability right(CAP_SYS_TIME);
  return clock_adjtime(CLOCK_REALTIME, &step) < 0 ? errno : 0;
}

int SystemHelperOperations::SetClock(int64_t seconds, int64_t nanoseconds) {
  const timespec time{static_cast<time_t>(seconds), static_cast<long>(nanoseconds)};
  RaisedCapability right(CAP_SYS_TIME);
  return clock_settime(CLOCK_REALTIME, &time) < 0 ? errno : 0;
}

int SystemHelperOperations::BindNtpPort(int& descriptor) {
  descriptor = -1;
  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return errno;
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_port = htons(kNtpPort);
  local.sin_addr.s_addr = htonl(INADDR_ANY);
  int bound = 0;
  {
    RaisedCapability right(CAP_NET_BIND_SERVICE);
    bound = bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local);
  }
  if (bound != 0) {
    const int error = errno;
    close(fd);
    return error;
  }
  descriptor = fd;
  return 0;
}

int KeepOnlyHelperCapabilities() {
  cap_t current = cap_get_proc();
  if (current == nullptr) return errno;
  cap_t kept = cap_init();
  int error = kept == nullptr ? errno : 0;
  for (const cap_value_t capability : {CAP_SYS_TIME, CAP_NET_BIND_SERVICE}) {
    cap_flag_value_t permitted = CAP_CLEAR;
    if (error == 0 && cap_get_flag(current, capability, CAP_PERMITTED, &permitted) == 0 &&
        permitted == CAP_SET) {
      cap_set_flag(kept, CAP_PERMITTED, 1, &capability, CAP_SET);
    }
  }
  if (error == 0 && cap_set_proc(kept) != 0) error = errno;
  if (error == 0 && prctl(PR_CAP_AMBIENT, PR_CAP_AMBIENT_CLEAR_ALL, 0, 0, 0) != 0) error = errno;
  cap_free(kept);
  cap_free(current);
  return error;
}

}  // namespace quorvane
