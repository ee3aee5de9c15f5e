#include "sntp/socket_error_text.h"

#include <algorithm>
#include <array>
#include <utility>

namespace quorvane {
namespace {

struct ErrorText {
  int code;
  std::string_view text;
};

constexpr std::array kErrorTexts{
    ErrorText{wsa::kFault, " The nSockAddrLen argument is incorrect."},
    ErrorText{wsa::kInvalid, " The socket has not been bound with Bind."},
    ErrorText{wsa::kTooManyFiles, " No more file descriptors are available."},
    ErrorText{wsa::kWouldBlock,
              " The socket is marked as nonblocking and the Receive operation would block."},
    ErrorText{wsa::kInProgress, " A blocking Windows Sockets operation is in progress."},
    ErrorText{wsa::kNotSocket, " The descriptor is not a socket."},
    ErrorText{wsa::kDestAddrRequired, " A destination address is required."},
    ErrorText{wsa::kMessageSize,
              " The datagram was too large to fit into the specified buffer and was truncated."},
    ErrorText{wsa::kProtoType, " The specified port is the wrong type for this socket."},
    ErrorText{wsa::kProtoNoSupport, " The specified port is not supported."},
    ErrorText{wsa::kSocketNoSupport,
              " The specified port is not supported in this address family."},
    ErrorText{wsa::kOpNotSupported,
              " MSG_OOB was specified, but the socket is not of type SOCK_STREAM."},
    ErrorText{wsa::kAfNoSupport,
              " Addresses in the specified family cannot be used with this socket."},
    ErrorText{wsa::kAddrInUse, " The specified address is already in use."},
    ErrorText{wsa::kAddrNotAvail,
              " The specified address is not available from the local machine."},
    ErrorText{wsa::kNetDown,
              " The Windows Sockets implementation detected that the network subsystem failed."},
    ErrorText{wsa::kNetUnreach, " The network cannot be reached from this host at this time."},
    ErrorText{wsa::kConnAborted,
              " The virtual circuit was aborted due to timeout or other failure."},
    ErrorText{wsa::kConnReset, " The virtual circuit was reset by the remote side."},
    ErrorText{wsa::kNoBufs, " No buffer space is available. The socket cannot be connected."},
    ErrorText{wsa::kIsConn, " The socket is already connected."},
    ErrorText{wsa::kNotConn, " The socket is not connected."},
    ErrorText{wsa::kShutdown, " The socket has been shut down."},
    ErrorText{wsa::kTimedOut, " Attempt to connect timed out without establishing a connection."},
    ErrorText{wsa::kConnRefused, " The attempt to connect was rejected."},
    ErrorText{wsa::kNotInitialised,
              " A successful AfxSocketInit must occur before using this API."},
};

}  // namespace

std::string_view SocketErrorText(int code) {
  const auto* it = std::find_if(kErrorTexts.begin(), kErrorTexts.end(),
                                [code](const ErrorText& e) { return e.code == code; });
  return it == kErrorTexts.end() ? std::string_view("Unknown socket error.") : it->text;
}

void ReportSocketError(MessageBoxes& boxes, std::string_view prefix, int code) {
  std::string text(prefix);
  text += SocketErrorText(code);
  boxes.Show(ApplicationBox(std::move(text)));
}

}  // namespace quorvane
