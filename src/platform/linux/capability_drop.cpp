#include "platform/linux/capability_drop.h"

#include <sys/capability.h>

#include <cerrno>

namespace quorvane {

int DropAllCapabilities() {
  // cap_init gives a state with every flag clear.
  cap_t none = cap_init();
  if (none == nullptr) return errno;
  const int error = cap_set_proc(none) == 0 ? 0 : errno;
  cap_free(none);
  return error;
}

}  // namespace quorvane
