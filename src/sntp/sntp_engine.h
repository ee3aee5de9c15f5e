#pragma once

#include <string_view>

#include "sntp/engine_state.h"
#include "sntp/listen_mode.h"
#include "sntp/poll_cycle.h"
#include "sntp/response_handling.h"

namespace quorvane {

// The engine: its state record, the poll cycle and the response handling that work on it,
// and the notifications of its socket. User-interface thread only.
class SntpEngine : public SocketEvents {
 public:
  explicit SntpEngine(const EnginePorts& ports);
  ~SntpEngine() override;
  SntpEngine(const SntpEngine&) = delete;
  SntpEngine& operator=(const SntpEngine&) = delete;

  void StartQuery() { poll_.StartQuery(); }
  void StartSync() { poll_.StartSync(); }
  // The one sync asked for on the command line; its reply asks the window to close.
  void StartCommandLineSync() { poll_.StartCommandLineSync(); }
  void EndAttempt(std::string_view status) { poll_.EndAttempt(status); }
  void FailOver(FailOverReason reason) { poll_.FailOver(reason); }
  void OnWatchdogStep() { poll_.OnWatchdogStep(); }
  void OnTimerTick() { poll_.OnTimerTick(); }

  // The server dialog: open for its lifetime, during which the tick starts nothing. A test
  // queries ServerInUse and reports to the dialog (target 1 primary field, 2 secondary).
  // Closing the dialog ends a test still pending, so that it cannot go on silencing the
  // engine and holding off the switch-over with nobody left to hear its result.
  void SetServerDialogOpen(bool open);
  void StartServerTest(int target);
  // The dialog has taken the test's result.
  void EndServerTest() { state_.ServerTest.ServerTestTarget = 0; }
  // New servers were confirmed: the next failure switches without the both-silent warning.
  void ClearFailoverSinceReply() { state_.FailoverSinceReply = false; }

  // Notifications of EngineSocket.
  void OnReceive() override { replies_.OnReceive(); }
  void OnConnect(int errorCode) override { poll_.OnConnect(errorCode); }
  void OnClose() override { state_.DiscardSocket(); }
  void OnLookupDone(int errorCode) override { poll_.OnLookupDone(errorCode); }

  // The listen mode's tick is the engine's own unless a test puts another in its place.
  void SetListenModeTick(ListenModeTick* listen) { poll_.SetListenModeTick(listen); }
  ListenMode& Listen() { return listen_; }
  // Closes and discards EngineSocket, if any.
  void DiscardSocket() { state_.DiscardSocket(); }

  const EngineState& State() const { return state_; }
  // For a setup no operation reaches, such as a listening socket handed in from outside.
  EngineState& MutableState() { return state_; }

 private:
  EngineState state_;
  PollCycle poll_;
  ResponseHandling replies_;
  ListenMode listen_;
};

}  // namespace quorvane
