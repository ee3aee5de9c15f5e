#include "sntp/response_handling.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <optional>

#include "base/local_time.h"
#include "sntp/reply_rules.h"

namespace quorvane {
namespace {

constexpr size_t kReadBufferSize = 1024;
constexpr int kDatagramTooLongCode = 10040;  // WSAEMSGSIZE: longer than the read buffer

std::string Printf(const char* format, double value) {
  // Large enough for any double in "%f" form, so no correction text is ever cut.
  std::array<char, 400> buffer{};
  const int n = std::snprintf(buffer.data(), buffer.size(), format, value);
  return n < 0 ? std::string() : std::string(buffer.data());
}

}  // namespace

ReplyVerdict JudgeReply(const ReceivedDatagram& datagram, int mode, const PendingRequest& request,
                        NtpSeconds t4, DecodedReply& decoded) {
  // Anyone on the network can send to port 123: in listen mode what cannot be a broadcast is
  // dropped without closing the listening socket. In poll mode only the answer to our own
  // request counts, so a forged datagram can neither end nor move a good attempt.
  const bool listening = mode == kListenMode;
  const int length = datagram.length;
  const bool tooLong = length < 0 && datagram.errorCode == kDatagramTooLongCode;
  if (tooLong) return ReplyVerdict::Ignored;  // longer than any reply: nothing to judge
  if (length < 0) return ReplyVerdict::ReceiveError;
  if (!listening) {
    if (!AnswersRequest(datagram.bytes.first(static_cast<size_t>(length)), request.nonce)) {
      return ReplyVerdict::Ignored;
    }
    // Our server's answer, but not one a 48-byte read could take whole.
    if (length > static_cast<int>(kSntpPacketSize)) return ReplyVerdict::ReceiveError;
    if (length < static_cast<int>(kSntpPacketSize)) return ReplyVerdict::InvalidData;
  } else if (length != static_cast<int>(kSntpPacketSize) &&
             std::find(kAuthenticatedBroadcastLengths.begin(), kAuthenticatedBroadcastLengths.end(),
                       length) == kAuthenticatedBroadcastLengths.end()) {
    return ReplyVerdict::Ignored;
  }
  SntpPacket reply;
  std::copy_n(datagram.bytes.begin(), kSntpPacketSize, reply.bytes.begin());
  const bool usable = listening ? IsUsableReply(reply, kListenModeAcceptedModes)
                                : IsUsableReply(reply, {kModeServer});
  if (!usable) return listening ? ReplyVerdict::Ignored : ReplyVerdict::InvalidData;
  decoded.t2 = ReceiveTimestamp(reply);
  decoded.t3 = TransmitTimestamp(reply);
  decoded.offset = ComputeOffset(mode, request.t1, decoded.t2, decoded.t3, t4);
  decoded.instant = MakeClockRecord(t4, decoded.offset);
  if (decoded.instant.wholeSeconds == 0) return ReplyVerdict::InvalidData;
  return ReplyVerdict::Usable;
}

ResponseHandling::ResponseHandling(EngineState& state, const EnginePorts& ports, PollCycle& poll)
    : state_(state),
      settings_(ports.settings),
      ui_(ports.ui),
      boxes_(ports.boxes),
      clock_(ports.clock),
      log_(ports.log),
      poll_(poll) {}

void ResponseHandling::OnReceive() {
  // The arrival instant: the kernel's receive stamp where the socket has one, else the
  // clock read before anything else is done.
  const NtpSeconds handlerStart = clock_.ReadLocalClock();
  if (!state_.EngineSocket) return;  // a late notification of a socket already discarded
  // Room for more than a reply, so that a longer datagram is seen whole and judged.
  std::array<uint8_t, kReadBufferSize> buffer{};
  ReceivedDatagram datagram{buffer, state_.EngineSocket->Receive(buffer), 0};
  if (datagram.length < 0) datagram.errorCode = state_.EngineSocket->LastError();
  const std::optional<int64_t> stamp = state_.EngineSocket->ArrivalSystemTimeNs();
  const NtpSeconds t4 = stamp ? clock_.FromSystemTime(*stamp) : handlerStart;
  const int mode = settings_.Socket_Mode;
  DecodedReply decoded;
  switch (JudgeReply(datagram, mode, {state_.T1Nonce, state_.T1}, t4, decoded)) {
    case ReplyVerdict::ReceiveError:
      poll_.EndAttempt("*** WinSock Receive Error! ***");
      poll_.SendTestFailedIfOpen();
      return;
    case ReplyVerdict::InvalidData:
      poll_.EndAttempt("Reset: Invalid Data returned by SNTP Server");
      // A rejected reply is a failed test, not one left "Testing ..." for ever.
      poll_.SendTestFailedIfOpen();
      return;
    case ReplyVerdict::Ignored:
      return;
    case ReplyVerdict::Usable:
      break;
  }
  // The answered attempt is over before anything below may ask the user something, so a
  // watchdog step while a box waits can neither resend nor switch servers.
  if (mode != kListenMode) poll_.FinishAttempt();
  if (mode == kListenMode) state_.BroadcastTickCount = 0;
  if (state_.ServerTest.OpenServerDialog && state_.Testing()) ReportTravelTimes(t4, decoded);
  std::string status;
  if (state_.SyncRequested || mode == kListenMode) {
    if (!CorrectionSteps(decoded.instant, decoded.offset, status)) return;
  } else {
    status = QuerySteps(decoded.instant, decoded.offset);
  }
  ClosingSteps(status);
}

void ResponseHandling::ReportTravelTimes(NtpSeconds t4, const DecodedReply& reply) {
  const TravelTimes travel = ComputeTravelTimes(state_.T1, reply.t2, reply.t3, t4);
  state_.ServerTest.RequestTravelText = Printf("%f", travel.request);
  state_.ServerTest.ServerProcessingText = Printf("%f", travel.serverProcessing);
  state_.ServerTest.ResponseTravelText = Printf("%f", travel.response);
  ui_.SendTestSucceeded();
}

std::string ResponseHandling::QuerySteps(const CorrectedInstant& instant, ClockOffset offset) {
  std::string status = FormatLocalTime(instant.unixTime, "Server Timestamp: %X %B %d, %Y... ");
  status += Printf("Delta: %.3f seconds", offset);
  if (std::fabs(offset) > settings_.MaxCorrectionSeconds) ui_.PostCorrectionTooBig();
  return status;
}

bool ResponseHandling::CorrectionSteps(const CorrectedInstant& instant, ClockOffset offset,
                                       std::string& status) {
  state_.SyncRequested = false;
  if (std::fabs(offset) > settings_.MaxCorrectionSeconds) {
    ui_.PutStatus("Sync Error: Timestamp differential exceeds Maximum Correction Limit");
    if (state_.ExitAfterSync) {
      state_.ExitAfterSync = false;
      ui_.PostClose();
    }
    poll_.EndAttempt("");
    return false;
  }
  clock_.EnableClockPrivilege();
  const SetClockResult result = clock_.ApplyCorrection(instant.record, offset);
  char letter = 'S';
  if (result.accepted) {
    status = "Sync @ " + FormatLocalTime(clock_.WallSeconds(), "%X") +
             "... System Clock Corrected by: " + Printf("%.3f seconds", offset);
  } else {
    boxes_.Show(UnownedBox("Failed to Set System Clock", result.errorText));
    letter = 'F';
  }
  clock_.RestoreClockPrivilege();
  if (settings_.LogToFile != 0) log_.WriteLogEntry(offset, letter);
  return true;
}

void ResponseHandling::ClosingSteps(const std::string& status) {
  ui_.PutStatus(status);
  if (state_.ExitAfterSync) {
    // Asked once: a user who cancels the close is not asked again at every later reply.
    state_.ExitAfterSync = false;
    ui_.PostClose();
  }
  if (settings_.Socket_Mode != kListenMode) poll_.EndAttempt("");
  state_.FailoverSinceReply = false;
}

}  // namespace quorvane
