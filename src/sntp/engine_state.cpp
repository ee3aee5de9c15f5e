#include "sntp/engine_state.h"

#include <array>
#include <cmath>
#include <cstdio>

#include "app/local_time.h"
#include "sntp/socket_error_text.h"

namespace quorvane {
namespace {

std::string Printf(const char* format, double value) {
  // Large enough for any double in "%f" form, so no correction text is ever cut.
  std::array<char, 400> buffer{};
  const int n = std::snprintf(buffer.data(), buffer.size(), format, value);
  return n < 0 ? std::string() : std::string(buffer.data());
}

std::string FailOverNotice(int usingServerBefore, FailOverReason reason) {
  const bool leftPrimary = usingServerBefore == 1;
  if (reason == FailOverReason::NoResponse) {
    return leftPrimary ? "The primary server did not respond.\n3 attempts were made.\n"
                         "Quorvane switched to the secondary."
                       : "The secondary server did not respond.\n3 attempts were made.\n"
                         "Quorvane switched to the primary.";
  }
  return leftPrimary
             ? "Could not connect to the primary server.\nQuorvane switched to the secondary."
             : "Could not connect to the secondary server.\nQuorvane switched to the primary.";
}

}  // namespace

EngineState::EngineState(const EnginePorts& ports)
    : settings_(ports.settings),
      ui_(ports.ui),
      boxes_(ports.boxes),
      sockets_(ports.sockets),
      clock_(ports.clock),
      log_(ports.log),
      watchdog_(ports.watchdog) {}

EngineState::~EngineState() = default;

void EngineState::ShowEngineStatus(const std::string& text) {
  if (!Testing()) ui_.ShowStatus(text);
}

void EngineState::SendTestFailedIfOpen() {
  if (Testing() && serverTest.OpenServerDialog) ui_.SendTestFailed();
}

void EngineState::DiscardSocket() {
  if (!EngineSocket) return;
  EngineSocket->Close();
  EngineSocket.reset();
}

void EngineState::StartQuery() {
  ui_.EnableQueryButton(false);
  ui_.EnableSyncButton(false);
  DiscardSocket();
  EngineSocket = sockets_.NewSocket(*this);
  if (!EngineSocket->Create()) {
    EndAttempt("Reset: Socket Creation FAILED!");
    return;
  }
  ShowEngineStatus("Socket Created.");
  ShowEngineStatus("Connecting to SNTP Server...");

  const int64_t before = clock_.WallSeconds();
  const bool connected = EngineSocket->Connect(settings_.ServerInUse, kNtpPort);
  const int64_t after = clock_.WallSeconds();
  if (after - before > 10) {
    EndAttempt("Reset: The attempt to connect timed out.");
    FailOver(FailOverReason::ConnectTimedOut);
    return;
  }
  if (!connected) {
    ReportSocketError(boxes_, kConnectErrorPrefix, EngineSocket->LastError());
    // The box runs a nested event loop; an attempt started meanwhile owns the engine now.
    if (!EngineSocket) return;
  }
  watchdog_.SetQueryPending();
  watchdog_.StartWorkerOnce();
  const SntpPacket request = BuildRequest();
  EngineSocket->Send(request.bytes);  // a request that did not leave ends in the time-out
  T1 = clock_.ReadLocalClock();
}

void EngineState::StartSync() {
  ui_.EnableSyncButton(false);
  SyncRequested = true;
  StartQuery();
}

void EngineState::EndAttempt(std::string_view status) {
  DiscardSocket();
  if (!status.empty()) ShowEngineStatus(std::string(status));
  ui_.EnableQueryButton(true);
  ui_.EnableSyncButton(true);
  watchdog_.ResetQueryPending();
}

void EngineState::FailOver(FailOverReason reason) {
  if (Testing()) {
    SendTestFailedIfOpen();
    return;
  }
  if (FailoverSinceReply) {
    boxes_.Show(
        EngineBox("Neither primary nor secondary server is responding.\n"
                  "Please open Quorvane to choose new servers."));
  }
  const int left = settings_.UsingServer;
  if (left == 1) {
    settings_.ServerInUse = settings_.Secondary_Server;
    settings_.UsingServer = 2;
  } else {
    settings_.ServerInUse = settings_.Primary_Server;
    settings_.UsingServer = 1;
  }
  FailoverSinceReply = true;
  if (settings_.Notify_User != 0) boxes_.Show(EngineBox(FailOverNotice(left, reason)));
}

void EngineState::OnWatchdogStep() {
  // A step queued just before the attempt ended belongs to no attempt.
  if (!watchdog_.QueryPending()) return;
  const int previous = ui_.StepProgress();
  if (previous < 100) return;
  if (TimeoutRetries < 3) {
    ++TimeoutRetries;
    EndAttempt("");
    StartQuery();
    return;
  }
  TimeoutRetries = 0;
  EndAttempt("SNTP Server: Response Timeout");
  FailOver(FailOverReason::NoResponse);
}

void EngineState::OnConnect(int errorCode) {
  if (errorCode == 0) {
    ui_.ShowStatus("Connected; Awaiting Server Response...");
    return;
  }
  EndAttempt("Reset: Connect FAILED. Verify Internet Link and/or Server URL/IP.");
}

void EngineState::OnClose() { DiscardSocket(); }

void EngineState::OnTimerTick() {
  if (serverTest.OpenServerDialog) return;
  if (settings_.Socket_Mode == kListenMode) {
    if (listen_ != nullptr) listen_->OnListenTick();
  } else {
    ++PollTicks;
    const uint32_t elapsedMs = PollTicks * 200u;
    const uint32_t intervalMs = static_cast<uint32_t>(settings_.SyncInterval) * 1000u;
    if (FirstPollPending || elapsedMs >= intervalMs) {
      PollTicks = 0;
      FirstPollPending = false;
      StartSync();
    }
  }
  watchdog_.SetTick();
  if (settings_.CommandLineSync) {
    settings_.CommandLineSync = false;
    StartSync();
    ExitAfterSync = true;
  }
}

void EngineState::OnReceive() {
  const NtpSeconds t4 = clock_.ReadLocalClock();
  if (!EngineSocket) return;  // a late notification of a socket already discarded
  SntpPacket reply;
  const int length = EngineSocket->Receive(reply.bytes);
  if (length < 0) {
    EndAttempt("*** WinSock Receive Error! ***");
    SendTestFailedIfOpen();
    return;
  }
  // A short reply would leave timestamps unread; it is invalid data like a zero stamp.
  if (length < static_cast<int>(kSntpPacketSize)) {
    EndAttempt("Reset: Invalid Data returned by SNTP Server");
    return;
  }
  const int mode = settings_.Socket_Mode;
  const NtpSeconds t2 = ReceiveTimestamp(reply);
  const NtpSeconds t3 = TransmitTimestamp(reply);
  const ClockOffset offset = ComputeOffset(mode, T1, t2, t3, t4);
  const CorrectedInstant instant = MakeClockRecord(t4, offset);
  if (instant.wholeSeconds == 0) {
    EndAttempt("Reset: Invalid Data returned by SNTP Server");
    return;
  }
  if (mode == kListenMode) BroadcastTickCount = 0;
  if (serverTest.OpenServerDialog && Testing()) {
    const TravelTimes travel = ComputeTravelTimes(T1, t2, t3, t4);
    serverTest.RequestTravelText = Printf("%f", travel.request);
    serverTest.ServerProcessingText = Printf("%f", travel.serverProcessing);
    serverTest.ResponseTravelText = Printf("%f", travel.response);
    ui_.SendTestSucceeded();
  }
  std::string status;
  if (SyncRequested || mode == kListenMode) {
    if (!CorrectionSteps(instant, offset, status)) return;
  } else {
    status = QuerySteps(instant, offset);
  }
  ClosingSteps(status);
}

std::string EngineState::QuerySteps(const CorrectedInstant& instant, ClockOffset offset) {
  std::string status = FormatLocalTime(instant.unixTime, "Server Timestamp: %X %B %d, %Y... ");
  status += Printf("Delta: %.3f seconds", offset);
  if (std::fabs(offset) > settings_.MaxCorrectionSeconds) ui_.PostCorrectionTooBig();
  return status;
}

bool EngineState::CorrectionSteps(const CorrectedInstant& instant, ClockOffset offset,
                                  std::string& status) {
  SyncRequested = false;
  if (std::fabs(offset) > settings_.MaxCorrectionSeconds) {
    ui_.PutStatus("Sync Error: Timestamp differential exceeds Maximum Correction Limit");
    if (ExitAfterSync) {
      ExitAfterSync = false;
      ui_.PostClose();
    }
    EndAttempt("");
    return false;
  }
  clock_.EnableClockPrivilege();
  const SetClockResult result = clock_.SetLocalTime(instant.record);
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

void EngineState::ClosingSteps(const std::string& status) {
  ui_.PutStatus(status);
  if (ExitAfterSync) {
    // Asked once: a user who cancels the close is not asked again at every later reply.
    ExitAfterSync = false;
    ui_.PostClose();
  }
  if (settings_.Socket_Mode != kListenMode) EndAttempt("");
  FailoverSinceReply = false;
}

}  // namespace quorvane
