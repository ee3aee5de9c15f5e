#pragma once

#include <string>
#include <string_view>

#include "sntp/engine_state.h"

namespace quorvane {

class ListenModeTick;

enum class FailOverReason { NoResponse = 1, ConnectTimedOut = 2 };

// Starting and ending attempts, retries after a time-out, failover between the two servers
// and the timer tick that starts syncs. Works on the engine's record.
class PollCycle {
 public:
  // Sockets it makes send their notifications to `events`.
  PollCycle(EngineState& state, const EnginePorts& ports, SocketEvents& events);

  // One attempt to ServerInUse (the Query button, retries, server tests).
  void StartQuery();
  // An attempt whose reply sets the clock (Sync button, tray command, interval).
  void StartSync();
  // The one sync asked for on the command line; its reply asks the window to close.
  void StartCommandLineSync();
  void EndAttempt(std::string_view status);
  // The part of ending an attempt that stops it: its socket closed and the watchdog no longer
  // pacing it. EndAttempt does this too; a handled reply does it first, before any box.
  void FinishAttempt();
  void FailOver(FailOverReason reason);
  void OnWatchdogStep();
  // Everything the 200 ms tick does after the time display has been painted.
  void OnTimerTick();
  void OnConnect(int errorCode);
  // The connect step's lookup has answered: the attempt goes on as after a blocking connect.
  void OnLookupDone(int errorCode);

  void SetListenModeTick(ListenModeTick* listen) { listen_ = listen; }
  // Tells the open server dialog that its test failed; nothing outside a test.
  void SendTestFailedIfOpen();

 private:
  void ShowEngineStatus(const std::string& text);
  // The connect step's second half, once the peer is known (or the lookup failed).
  void ContinueAfterConnect(int errorCode);
  bool ConnectTookTooLong();
  void EndLookupTooSlow();
  void SendRequest();

  EngineState& state_;
  AppSettings& settings_;
  EngineUi& ui_;
  BoxGate& boxes_;
  SocketFactory& sockets_;
  Clock& clock_;
  Watchdog& watchdog_;
  SocketEvents& events_;
  ListenModeTick* listen_ = nullptr;
};

}  // namespace quorvane
