#include "support/without_bind_privilege.h"

#include <fstream>

namespace quorvane::testing {

WithoutBindPrivilege::WithoutBindPrivilege() : saved_(cap_get_proc()) {
  cap_t lowered = cap_dup(saved_);
  const cap_value_t bind[] = {CAP_NET_BIND_SERVICE};
  cap_set_flag(lowered, CAP_EFFECTIVE, 1, bind, CAP_CLEAR);
  cap_set_proc(lowered);
  cap_free(lowered);
}

WithoutBindPrivilege::~WithoutBindPrivilege() {
  cap_set_proc(saved_);
  cap_free(saved_);
}

bool WithoutBindPrivilege::PortNeedsTheRight() {
  int firstOpenPort = 1024;
  std::ifstream("/proc/sys/net/ipv4/ip_unprivileged_port_start") >> firstOpenPort;
  return firstOpenPort > 123;
}

}  // namespace quorvane::testing
