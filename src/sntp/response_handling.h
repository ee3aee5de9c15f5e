#pragma once

#include <initializer_list>
#include <memory>
#include <string>

#include "sntp/engine_state.h"
#include "sntp/poll_cycle.h"

namespace quorvane {

// What a received datagram is good for. Ignored: in listen mode, a datagram that cannot be a
// time broadcast; it leaves the clock, the log, the tick count and the socket as they were.
enum class ReplyVerdict { Usable, ReceiveError, InvalidData, Ignored };

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

// Decides whether a read of `length` bytes into `reply` can be used, and decodes it when it
// can. Every reason to reject a reply belongs here.
ReplyVerdict JudgeReply(int length, const SntpPacket& reply, int mode, NtpSeconds t1, NtpSeconds t4,
                        DecodedReply& decoded);

// The read notification of EngineSocket: the reply is checked, shown to a server test, then
// either shown (a query) or used to set the clock (a sync, or any broadcast in listen mode).
// Works on the engine's record.
class ResponseHandling {
 public:
  ResponseHandling(EngineState& state, const EnginePorts& ports, PollCycle& poll);

  void OnReceive();

 private:
  void ReportTravelTimes(NtpSeconds t4, const DecodedReply& reply);
  // Returns the status text for the closing steps.
  std::string QuerySteps(const CorrectedInstant& instant, ClockOffset offset);
  // Asks the clock for the step. True when it answered within the call, with the status in
  // `status` for the closing steps; false when the attempt has ended here, or when its
  // closing steps follow the clock's answer.
  bool CorrectionSteps(const CorrectedInstant& instant, ClockOffset offset, std::string& status);
  // What the clock's answer brings: the failure box, the end of the privilege bracket and
  // the log entry.
  std::string AnswerSteps(const SetClockResult& result, ClockOffset offset);
  // An answer that came after CorrectionSteps had returned, to the attempt numbered
  // `attempt`.
  void LateAnswer(const SetClockResult& result, ClockOffset offset, uint64_t attempt);
  void ClosingSteps(const std::string& status);

  EngineState& state_;
  AppSettings& settings_;
  EngineUi& ui_;
  MessageBoxes& boxes_;
  Clock& clock_;
  SyncLogWriter& log_;
  PollCycle& poll_;
  // Expires with this object: a clock's answer that comes later finds no engine to report to.
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

}  // namespace quorvane
