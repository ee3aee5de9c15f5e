#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>

#include "sntp/engine_state.h"
#include "sntp/poll_cycle.h"

namespace quorvane {

// What a received datagram is good for. Ignored: in listen mode, a datagram that cannot be a
// time broadcast; in poll mode, one that does not answer the request. It leaves the clock,
// the log, the tick count, the status and the socket as they were.
enum class ReplyVerdict { Usable, ReceiveError, InvalidData, Ignored };

// What one read of the engine's socket gave: the bytes (at most the read buffer's size), the
// datagram's length or -1, and on -1 the socket's error code.
struct ReceivedDatagram {
  std::span<const uint8_t> bytes;
  int length = -1;
  int errorCode = 0;
};

// The lengths a listening socket takes as an authenticated broadcast: the 48 bytes, a key
// identifier and an MD5 or SHA-1 digest. Their first 48 bytes are used as any broadcast is.
inline constexpr std::initializer_list<int> kAuthenticatedBroadcastLengths = {68, 72};

// The modes a listening socket takes as a broadcast: not a client's request (3) nor a control
// or private message (6, 7), or any SNTP client sending to this PC would set its clock.
inline constexpr std::initializer_list<int> kListenModeAcceptedModes = {0, 1, 2, 4, 5};

// A reply's timestamps and the correction they make; filled only for a usable reply.
struct DecodedReply {
  NtpSeconds t2 = 0;
  NtpSeconds t3 = 0;
  ClockOffset offset = 0;
  CorrectedInstant instant;
};

// The request a poll reply must answer: its nonce and send time.
struct PendingRequest {
  RequestNonce nonce{};
  NtpSeconds t1 = 0;
};

// Decides whether a datagram can be used, and decodes it when it can. Every reason to reject
// a reply belongs here.
ReplyVerdict JudgeReply(const ReceivedDatagram& datagram, int mode, const PendingRequest& request,
                        NtpSeconds t4, DecodedReply& decoded);

// The read notification of EngineSocket: the reply is checked, shown to a server test, then
// either shown (a query) or used to set the clock (a sync, or any broadcast in listen mode).
// Works on the engine's record.
class ResponseHandling {
 public:
  ResponseHandling(EngineState& state, const EnginePorts& ports, PollCycle& poll);

  void OnReceive();

 private:
  void ReportTravelTimes(NtpSeconds t4, const DecodedReply& reply);
  // Each returns the status text for the closing steps.
  std::string QuerySteps(const CorrectedInstant& instant, ClockOffset offset);
  bool CorrectionSteps(const CorrectedInstant& instant, ClockOffset offset, std::string& status);
  void ClosingSteps(const std::string& status);

  EngineState& state_;
  AppSettings& settings_;
  EngineUi& ui_;
  MessageBoxes& boxes_;
  Clock& clock_;
  SyncLogWriter& log_;
  PollCycle& poll_;
};

}  // namespace quorvane
