#include "support/shared_virtual_clock.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <new>
#include <stdexcept>

#include "sntp/sntp_packet.h"

namespace quorvane::testing {
namespace {

constexpr int64_t kNanosPerSecond = 1'000'000'000;

int64_t RealUnixNs() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  return int64_t{now.tv_sec} * kNanosPerSecond + now.tv_nsec;
}

}  // namespace

int64_t MonotonicNs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return int64_t{now.tv_sec} * kNanosPerSecond + now.tv_nsec;
}

std::vector<std::string> VirtualClockHelperCommand(const std::string& program,
                                                   const std::string& clockFile) {
  return {"/usr/bin/setpriv", "--bounding-set", "-sys_time", "--", program, clockFile};
}

SharedVirtualClock::SharedVirtualClock(const std::string& path, bool create) {
  const int fd = open(path.c_str(), O_RDWR | O_CLOEXEC | (create ? O_CREAT | O_TRUNC : 0), 0600);
  if (fd < 0) throw std::runtime_error(path + ": " + std::strerror(errno));
  const bool sized = !create || ftruncate(fd, sizeof(VirtualClockState)) == 0;
  void* mapped =
      sized ? mmap(nullptr, sizeof(VirtualClockState), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0)
            : MAP_FAILED;
  const int error = errno;
  close(fd);
  if (mapped == MAP_FAILED) throw std::runtime_error(path + ": " + std::strerror(error));
  // A file made here is all zero bytes, which is the state's starting value.
  state_ = create ? new (mapped) VirtualClockState : static_cast<VirtualClockState*>(mapped);
}

SharedVirtualClock::~SharedVirtualClock() { munmap(state_, sizeof(VirtualClockState)); }

void SharedVirtualClock::Reset(int64_t offsetMs) {
  state_->steps = 0;
  state_->lastStepPid = 0;
  state_->lastStepMonotonicNs = 0;
  state_->offsetNs = offsetMs * 1'000'000;
}

int VirtualClockOperations::StepClock(int64_t seconds, int64_t nanoseconds) {
  state_.offsetNs += seconds * kNanosPerSecond + nanoseconds;
  Record();
  return 0;
}

int VirtualClockOperations::SetClock(int64_t seconds, int64_t nanoseconds) {
  state_.offsetNs = seconds * kNanosPerSecond + nanoseconds - RealUnixNs();
  Record();
  return 0;
}

int VirtualClockOperations::BindNtpPort(int& descriptor) {
  descriptor = -1;
  return EACCES;
}

void VirtualClockOperations::Record() {
  state_.lastStepMonotonicNs = MonotonicNs();
  state_.lastStepPid = static_cast<int32_t>(getpid());
  ++state_.steps;
}

NtpSeconds VirtualClockReader::ReadLocalClock() { return FromSystemTime(RealUnixNs()); }

NtpSeconds VirtualClockReader::FromSystemTime(int64_t systemUnixNs) {
  const int64_t unixNs = systemUnixNs + state_.offsetNs;
  return static_cast<double>(unixNs / kNanosPerSecond + kNtpToUnixSeconds) +
         static_cast<double>(unixNs % kNanosPerSecond) * 1e-9;
}

int64_t VirtualClockReader::WallSeconds() {
  return (RealUnixNs() + state_.offsetNs) / kNanosPerSecond;
}

SetClockResult VirtualClockReader::ApplyCorrection(const ClockRecord&, ClockOffset) {
  return {false, std::strerror(EPERM)};
}

}  // namespace quorvane::testing
