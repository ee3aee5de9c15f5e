#pragma once

#include "ports/privileged_helper.h"

namespace quorvane {

// Answers the requests arriving on `connection`, a SOCK_SEQPACKET socket, one at a time,
// until the peer closes it. Returns 0 then, or the errno that ended the loop. A malformed
// request is answered with its error and never reaches `operations`.
int ServeHelperConnection(int connection, PrivilegedHelper& operations);

}  // namespace quorvane
