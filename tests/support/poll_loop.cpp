#include "support/poll_loop.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <utility>
#include <vector>

namespace quorvane::testing {

PollLoop::PollLoop() : wakeFd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
  if (wakeFd_ < 0) throw std::runtime_error(std::string("eventfd: ") + std::strerror(errno));
}

PollLoop::~PollLoop() { close(wakeFd_); }

void PollLoop::Watch(int fd, std::function<void()> onReadable) {
  // A fresh serial, so a descriptor number reused within one pass never reaches the
  // callback of the descriptor it replaced.
  watches_[fd] =
      Registration{nextSerial_++, std::make_shared<std::function<void()>>(std::move(onReadable))};
}

void PollLoop::Unwatch(int fd) { watches_.erase(fd); }

void PollLoop::Post(std::function<void()> task) {
  {
    std::lock_guard lock(postedMutex_);
    posted_.push_back(std::move(task));
  }
  const uint64_t one = 1;
  // A full counter already means "wake up", so a failed write loses nothing.
  [[maybe_unused]] const ssize_t n = write(wakeFd_, &one, sizeof one);
}

bool PollLoop::HasPostedTasks() {
  std::lock_guard lock(postedMutex_);
  return !posted_.empty();
}

void PollLoop::RunPostedTasks() {
  uint64_t count = 0;
  [[maybe_unused]] const ssize_t n = read(wakeFd_, &count, sizeof count);
  // Only the tasks queued so far: a task that posts itself again runs in the next pass
  // instead of keeping this one busy for ever.
  std::deque<std::function<void()>> batch;
  {
    std::lock_guard lock(postedMutex_);
    batch.swap(posted_);
  }
  for (auto& task : batch) task();
}

void PollLoop::Pass(int timeoutMs) {
  std::vector<pollfd> fds;
  std::vector<uint64_t> serials;
  fds.reserve(watches_.size() + 1);
  fds.push_back(pollfd{wakeFd_, POLLIN, 0});
  serials.push_back(0);
  for (const auto& [fd, registration] : watches_) {
    fds.push_back(pollfd{fd, POLLIN, 0});
    serials.push_back(registration.serial);
  }
  if (HasPostedTasks()) timeoutMs = 0;
  const int ready = poll(fds.data(), fds.size(), timeoutMs);
  if (ready < 0 && errno != EINTR) {
    ADD_FAILURE() << "poll: " << std::strerror(errno);
    return;
  }
  for (size_t i = 1; ready > 0 && i < fds.size(); ++i) {
    if (fds[i].revents == 0) continue;
    const auto it = watches_.find(fds[i].fd);
    if (it == watches_.end() || it->second.serial != serials[i]) continue;  // gone meanwhile
    if (fds[i].revents & POLLNVAL) {
      // Closed without being unwatched: a fault of the owner, and it would spin here.
      ADD_FAILURE() << "descriptor " << fds[i].fd << " was closed while still watched";
      watches_.erase(it);
      continue;
    }
    // Keep the callback alive even if it unwatches its own descriptor.
    const auto callback = it->second.callback;
    (*callback)();
  }
  RunPostedTasks();
}

bool PollLoop::RunUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + limit;
  while (!done()) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return false;
    Pass(static_cast<int>(left.count()));
  }
  return true;
}

void PollLoop::RunFor(std::chrono::milliseconds period) {
  RunUntil([] { return false; }, period);
}

void PollLoop::RunPending() { Pass(0); }

}  // namespace quorvane::testing
