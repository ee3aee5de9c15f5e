#include "platform/linux/errno_to_wsa.h"

#include <algorithm>
#include <array>
#include <cerrno>

namespace quorvane {
namespace {

struct ErrnoCode {
  int errnoValue;
  int wsaCode;
};

// Pairs by meaning. Some errnos share a number on Linux (EAGAIN and EWOULDBLOCK,
// EOPNOTSUPP and ENOTSUP); the first row that matches wins, and both agree anyway.
constexpr std::array kErrnoCodes{
    ErrnoCode{EINTR, 10004},            // WSAEINTR
    ErrnoCode{EBADF, 10038},            // a closed descriptor: WSAENOTSOCK, as for a bad SOCKET
    ErrnoCode{EACCES, 10013},           // WSAEACCES (a privileged port, a broadcast address)
    ErrnoCode{EPERM, 10013},            // WSAEACCES (refused by a packet filter)
    ErrnoCode{EFAULT, 10014},           // WSAEFAULT
    ErrnoCode{EINVAL, 10022},           // WSAEINVAL
    ErrnoCode{EMFILE, 10024},           // WSAEMFILE
    ErrnoCode{ENFILE, 10024},           // WSAEMFILE: the system table is full instead
    ErrnoCode{EWOULDBLOCK, 10035},      // WSAEWOULDBLOCK
    ErrnoCode{EAGAIN, 10035},           // WSAEWOULDBLOCK
    ErrnoCode{EINPROGRESS, 10036},      // WSAEINPROGRESS
    ErrnoCode{EALREADY, 10037},         // WSAEALREADY
    ErrnoCode{ENOTSOCK, 10038},         // WSAENOTSOCK
    ErrnoCode{EDESTADDRREQ, 10039},     // WSAEDESTADDRREQ
    ErrnoCode{EMSGSIZE, 10040},         // WSAEMSGSIZE
    ErrnoCode{EPROTOTYPE, 10041},       // WSAEPROTOTYPE
    ErrnoCode{ENOPROTOOPT, 10042},      // WSAENOPROTOOPT
    ErrnoCode{EPROTONOSUPPORT, 10043},  // WSAEPROTONOSUPPORT
    ErrnoCode{ESOCKTNOSUPPORT, 10044},  // WSAESOCKTNOSUPPORT
    ErrnoCode{EOPNOTSUPP, 10045},       // WSAEOPNOTSUPP
    ErrnoCode{ENOTSUP, 10045},          // WSAEOPNOTSUPP
    ErrnoCode{EPFNOSUPPORT, 10046},     // WSAEPFNOSUPPORT
    ErrnoCode{EAFNOSUPPORT, 10047},     // WSAEAFNOSUPPORT
    ErrnoCode{EADDRINUSE, 10048},       // WSAEADDRINUSE
    ErrnoCode{EADDRNOTAVAIL, 10049},    // WSAEADDRNOTAVAIL
    ErrnoCode{ENETDOWN, 10050},         // WSAENETDOWN
    ErrnoCode{ENETUNREACH, 10051},      // WSAENETUNREACH
    ErrnoCode{ENETRESET, 10052},        // WSAENETRESET
    ErrnoCode{ECONNABORTED, 10053},     // WSAECONNABORTED
    ErrnoCode{ECONNRESET, 10054},       // WSAECONNRESET
    ErrnoCode{ENOBUFS, 10055},          // WSAENOBUFS
    ErrnoCode{ENOMEM, 10055},           // WSAENOBUFS: the nearest "out of resources"
    ErrnoCode{EISCONN, 10056},          // WSAEISCONN
    ErrnoCode{ENOTCONN, 10057},         // WSAENOTCONN
    ErrnoCode{ESHUTDOWN, 10058},        // WSAESHUTDOWN
    ErrnoCode{ETOOMANYREFS, 10059},     // WSAETOOMANYREFS
    ErrnoCode{ETIMEDOUT, 10060},        // WSAETIMEDOUT
    ErrnoCode{ECONNREFUSED, 10061},     // WSAECONNREFUSED
    ErrnoCode{ELOOP, 10062},            // WSAELOOP
    ErrnoCode{ENAMETOOLONG, 10063},     // WSAENAMETOOLONG
    ErrnoCode{EHOSTDOWN, 10064},        // WSAEHOSTDOWN
    ErrnoCode{EHOSTUNREACH, 10065},     // WSAEHOSTUNREACH
};

}  // namespace

int WsaCodeFromErrno(int errnoValue) {
  if (errnoValue == 0) return 0;
  const auto* it =
      std::find_if(kErrnoCodes.begin(), kErrnoCodes.end(),
                   [errnoValue](const ErrnoCode& e) { return e.errnoValue == errnoValue; });
  return it == kErrnoCodes.end() ? kUnmappedErrnoBase + errnoValue : it->wsaCode;
}

int WsaCodeFromHelperBindError(int errnoValue) {
  if (errnoValue == 0 || errnoValue == EADDRINUSE) return WsaCodeFromErrno(errnoValue);
  return WsaCodeFromErrno(EACCES);
}

}  // namespace quorvane
