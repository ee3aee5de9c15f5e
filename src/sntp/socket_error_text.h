#pragma once

#include <string>
#include <string_view>

#include "ports/message_boxes.h"

namespace quorvane {

// Windows Sockets error codes the program distinguishes.
namespace wsa {
inline constexpr int kAccess = 10013;
inline constexpr int kFault = 10014;
inline constexpr int kInvalid = 10022;
inline constexpr int kTooManyFiles = 10024;
inline constexpr int kWouldBlock = 10035;
inline constexpr int kInProgress = 10036;
inline constexpr int kNotSocket = 10038;
inline constexpr int kDestAddrRequired = 10039;
inline constexpr int kMessageSize = 10040;
inline constexpr int kProtoType = 10041;
inline constexpr int kProtoNoSupport = 10043;
inline constexpr int kSocketNoSupport = 10044;
inline constexpr int kOpNotSupported = 10045;
inline constexpr int kAfNoSupport = 10047;
inline constexpr int kAddrInUse = 10048;
inline constexpr int kAddrNotAvail = 10049;
inline constexpr int kNetDown = 10050;
inline constexpr int kNetUnreach = 10051;
inline constexpr int kConnAborted = 10053;
inline constexpr int kConnReset = 10054;
inline constexpr int kNoBufs = 10055;
inline constexpr int kIsConn = 10056;
inline constexpr int kNotConn = 10057;
inline constexpr int kShutdown = 10058;
inline constexpr int kTimedOut = 10060;
inline constexpr int kConnRefused = 10061;
inline constexpr int kNotInitialised = 10093;
}  // namespace wsa

inline constexpr std::string_view kConnectErrorPrefix = "An error has occurred upon Connect():\n";
inline constexpr std::string_view kBindErrorPrefix = "Bind of socket to receive broadcast.\n";

// The sentence for a Windows Sockets code; "Unknown socket error." for any other code.
std::string_view SocketErrorText(int code);

// Shows prefix + the code's sentence in an application box (OK, exclamation) and returns
// when the user has closed it.
void ReportSocketError(MessageBoxes& boxes, std::string_view prefix, int code);

}  // namespace quorvane
