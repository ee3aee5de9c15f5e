#include "sntp/poll_cycle.h"

#include "sntp/listen_mode.h"
#include "sntp/socket_error_text.h"

namespace quorvane {
namespace {

constexpr double kHeldUpSendSeconds = 100e-6;

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

PollCycle::PollCycle(EngineState& state, const EnginePorts& ports, SocketEvents& events)
    : state_(state),
      settings_(ports.settings),
      ui_(ports.ui),
      boxes_(ports.boxes),
      sockets_(ports.sockets),
      clock_(ports.clock),
      watchdog_(ports.watchdog),
      events_(events) {}

void PollCycle::ShowEngineStatus(const std::string& text) {
  if (!state_.Testing()) ui_.ShowStatus(text);
}

void PollCycle::SendTestFailedIfOpen() {
  if (state_.Testing() && state_.ServerTest.OpenServerDialog) ui_.SendTestFailed();
}

void PollCycle::StartQuery() {
  // In listen mode the engine's one socket is the listening socket; only a server test,
  // which the user asks for by name, may borrow it until the next tick.
  if (settings_.Socket_Mode == kListenMode && !state_.Testing()) return;
  ui_.EnableQueryButton(false);
  ui_.EnableSyncButton(false);
  state_.DiscardSocket();
  state_.EngineSocket = sockets_.NewSocket(events_);
  if (!state_.EngineSocket->Create()) {
    EndAttempt("Reset: Socket Creation FAILED!");
    SendTestFailedIfOpen();  // every way a test ends is reported to the dialog
    return;
  }
  ShowEngineStatus("Socket Created.");
  ShowEngineStatus("Connecting to SNTP Server...");

  ++state_.AttemptSerial;
  state_.ConnectStartWall = clock_.WallSeconds();
  const bool connected = state_.EngineSocket->Connect(settings_.ServerInUse, kNtpPort);
  if (connected && state_.EngineSocket->LookupPending()) {
    // The window goes on while the name server answers; OnLookupDone resumes the attempt.
    state_.LookupPending = true;
    return;
  }
  ContinueAfterConnect(connected ? 0 : state_.EngineSocket->LastError());
}

void PollCycle::OnLookupDone(int errorCode) {
  if (!state_.LookupPending || !state_.EngineSocket) return;  // abandoned meanwhile
  state_.LookupPending = false;
  ContinueAfterConnect(errorCode);
}

bool PollCycle::ConnectTookTooLong() { return clock_.WallSeconds() - state_.ConnectStartWall > 10; }

void PollCycle::EndLookupTooSlow() {
  EndAttempt("Reset: The attempt to connect timed out.");
  FailOver(FailOverReason::ConnectTimedOut);
}

void PollCycle::ContinueAfterConnect(int errorCode) {
  if (ConnectTookTooLong()) {
    EndLookupTooSlow();
    return;
  }
  if (errorCode != 0) {
    const uint64_t attempt = state_.AttemptSerial;
    ReportSocketError(boxes_, kConnectErrorPrefix, errorCode);
    // The box runs a nested event loop; an attempt started meanwhile owns the engine now.
    if (!state_.EngineSocket || state_.AttemptSerial != attempt) return;
  }
  SendRequest();
}

void PollCycle::SendRequest() {
  state_.T1Nonce = NewRequestNonce();
  const SntpPacket request = BuildRequest(state_.T1Nonce);
  const NtpSeconds beforeSend = clock_.ReadLocalClock();
  state_.EngineSocket->Send(request.bytes);  // a request that did not leave ends in the time-out
  state_.T1 = clock_.ReadLocalClock();
  // A send that seemed to take long was held up on its way back, after the request had left
  // (a thread is switched out on return from the kernel): the reading before it is then the
  // nearer one.
  if (state_.T1 - beforeSend > kHeldUpSendSeconds) state_.T1 = beforeSend;
  // The worker is woken only now: a wake-up between the send and the reading above could
  // hand it the core and make T1 late by a whole time slice.
  watchdog_.SetQueryPending();
  watchdog_.StartWorkerOnce();
}

void PollCycle::StartSync() {
  // Broadcasts keep the clock in listen mode: a poll sync would close the listening socket
  // and take a poll server's time with the one-way formula. A command-line sync is then
  // done by the next broadcast, whose handling asks to close.
  if (settings_.Socket_Mode == kListenMode) return;
  ui_.EnableSyncButton(false);
  state_.SyncRequested = true;
  StartQuery();
}

void PollCycle::StartCommandLineSync() {
  StartSync();
  state_.ExitAfterSync = true;
}

void PollCycle::FinishAttempt() {
  state_.DiscardSocket();
  watchdog_.ResetQueryPending();
}

void PollCycle::EndAttempt(std::string_view status) {
  FinishAttempt();
  if (!status.empty()) ShowEngineStatus(std::string(status));
  ui_.EnableQueryButton(true);
  ui_.EnableSyncButton(true);
}

void PollCycle::FailOver(FailOverReason reason) {
  if (state_.Testing()) {
    SendTestFailedIfOpen();
    return;
  }
  if (state_.FailoverSinceReply) {
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
  state_.FailoverSinceReply = true;
  if (settings_.Notify_User != 0) boxes_.Show(EngineBox(FailOverNotice(left, reason)));
}

void PollCycle::OnWatchdogStep() {
  // A step queued just before the attempt ended belongs to no attempt.
  if (!watchdog_.QueryPending()) return;
  const int previous = ui_.StepProgress();
  if (previous < 100) return;
  if (state_.TimeoutRetries < 3) {
    ++state_.TimeoutRetries;
    EndAttempt("");
    StartQuery();
    return;
  }
  state_.TimeoutRetries = 0;
  EndAttempt("SNTP Server: Response Timeout");
  FailOver(FailOverReason::NoResponse);
}

void PollCycle::OnConnect(int errorCode) {
  if (errorCode == 0) {
    ui_.ShowStatus("Connected; Awaiting Server Response...");
    return;
  }
  EndAttempt("Reset: Connect FAILED. Verify Internet Link and/or Server URL/IP.");
  SendTestFailedIfOpen();
}

void PollCycle::OnTimerTick() {
  // A lookup that has not answered within the connect step's limit is abandoned, also while
  // the Servers dialog is open (its test may be the one waiting); its late answer is dropped
  // with the socket. While a box waits, the check waits too, as a blocking lookup would.
  if (state_.LookupPending && !boxes_.Waiting() && ConnectTookTooLong()) EndLookupTooSlow();
  if (state_.ServerTest.OpenServerDialog) return;
  // While one of the program's own boxes waits, the interval count stands still and nothing
  // new starts; the count goes on from where it was once the box is answered.
  if (boxes_.Waiting()) {
    watchdog_.SetTick();
    return;
  }
  if (settings_.Socket_Mode == kListenMode) {
    if (listen_ != nullptr) listen_->OnListenTick();
  } else {
    ++state_.PollTicks;
    const uint32_t elapsedMs = state_.PollTicks * 200u;
    const uint32_t intervalMs = static_cast<uint32_t>(settings_.SyncInterval) * 1000u;
    if (state_.FirstPollPending || elapsedMs >= intervalMs) {
      state_.PollTicks = 0;
      state_.FirstPollPending = false;
      StartSync();
    }
  }
  watchdog_.SetTick();
  if (settings_.CommandLineSync) {
    settings_.CommandLineSync = false;
    StartCommandLineSync();
  }
}

}  // namespace quorvane
