#pragma once

#include <sys/capability.h>

namespace quorvane::testing {

// While it lives, the calling thread binds as a user without rights: CAP_NET_BIND_SERVICE is
// out of its effective set, so the kernel refuses port 123 with EACCES before it even looks
// whether the port is taken, and nothing here ever holds the machine's port 123.
class WithoutBindPrivilege {
 public:
  WithoutBindPrivilege();
  ~WithoutBindPrivilege();
  WithoutBindPrivilege(const WithoutBindPrivilege&) = delete;
  WithoutBindPrivilege& operator=(const WithoutBindPrivilege&) = delete;

  // False where port 123 is open to everyone (ip_unprivileged_port_start), so that a bind
  // to it cannot be refused for want of the right: tests skip there.
  static bool PortNeedsTheRight();

 private:
  cap_t saved_;
};

}  // namespace quorvane::testing
