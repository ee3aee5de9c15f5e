#include "platform/linux/errno_to_wsa.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "sntp/socket_error_text.h"

namespace quorvane {
namespace {

struct Case {
  const char* name;
  int errnoValue;
  int wsaCode;
};

TEST(WsaCodeFromErrno, MapsByNameNotByNumber) {
  const Case cases[] = {
      {"EADDRINUSE", EADDRINUSE, 10048},
      {"ECONNREFUSED", ECONNREFUSED, 10061},
      {"EWOULDBLOCK", EWOULDBLOCK, 10035},
      {"EAGAIN", EAGAIN, 10035},
      {"EMSGSIZE", EMSGSIZE, 10040},
      {"ENETUNREACH", ENETUNREACH, 10051},
      {"EADDRNOTAVAIL", EADDRNOTAVAIL, 10049},
      {"EINVAL", EINVAL, 10022},
      {"EBADF", EBADF, 10038},
      {"ENOTSOCK", ENOTSOCK, 10038},
      {"EMFILE", EMFILE, 10024},
      {"EFAULT", EFAULT, 10014},
      {"EDESTADDRREQ", EDESTADDRREQ, 10039},
      {"ENOBUFS", ENOBUFS, 10055},
      {"ECONNRESET", ECONNRESET, 10054},
      {"ENOTCONN", ENOTCONN, 10057},
      {"EISCONN", EISCONN, 10056},
      {"ETIMEDOUT", ETIMEDOUT, 10060},
      {"ENETDOWN", ENETDOWN, 10050},
      {"EAFNOSUPPORT", EAFNOSUPPORT, 10047},
      {"EOPNOTSUPP", EOPNOTSUPP, 10045},
      {"EACCES", EACCES, 10013},
      {"EHOSTUNREACH", EHOSTUNREACH, 10065},
      {"no error", 0, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(WsaCodeFromErrno(c.errnoValue), c.wsaCode) << c.name;
  }
}

TEST(WsaCodeFromErrno, ErrnoWithoutCounterpartReadsAsUnknownSocketError) {
  for (const int e : {ENOENT, EIO, ENOSPC, EROFS, EPIPE}) {
    const int code = WsaCodeFromErrno(e);
    EXPECT_EQ(code, kUnmappedErrnoBase + e);
    EXPECT_EQ(SocketErrorText(code), "Unknown socket error.") << e;
  }
}

}  // namespace
}  // namespace quorvane
