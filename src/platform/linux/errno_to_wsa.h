#pragma once

namespace quorvane {

// An errno with no Windows Sockets counterpart becomes kUnmappedErrnoBase + errno: a code
// that no Windows Sockets error uses, so its text is "Unknown socket error." while the
// errno can still be read back from it.
inline constexpr int kUnmappedErrnoBase = 20000;

// The Windows Sockets code for a Linux errno, matched by name (the numbers differ:
// EADDRINUSE is 98 here, WSAEADDRINUSE 10048). 0 stays 0.
int WsaCodeFromErrno(int errnoValue);

// The Windows Sockets code for the privileged helper's answer to binding port 123. A port
// already taken is 10048, as for our own bind; any other failure (no helper, one the user
// may not run, one without the right) means the right is missing: 10013. 0 stays 0.
int WsaCodeFromHelperBindError(int errnoValue);

}  // namespace quorvane
